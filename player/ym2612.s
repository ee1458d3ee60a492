; ---- YM2612 (OPN2): six 4-operator FM channels (its DAC, channel 6's PCM mode, is not
; played: it does not fit in the player's RAM).
;
; Register copies: port 0 and port 1, registers $30-$B7 each, at OPN0 and OPN1 near the top
; of RAM (when the stream leaves them free: init.s), in one page so that one pointer reaches
; either. A write that changes a copy marks its
; channel: operator 4's TL in algorithms 0-3 (the only carrier) or the pan the level; any
; other operator register, the algorithm or the feedback the patch (a carrier's TL among
; several changes their balance, part of the waveform); $A0-$A2 the pitch, taking the block
; and high F-number bits latched by the last $A4-$A6 write, as the chip does. $28 keys
; channels on and off: a channel sounds while any of its operators is keyed.
OPN_COPIES = $FE00                ; port p's register r at OPN_COPIES + $88 p + r
OPN0 = OPN_COPIES + $30           ; port 0's copies
OPN1 = OPN0 + $88                 ; port 1's

cmd_ym2612_1:
    MOV X,#3
    MOV A,#$88
    BRA opn_write
cmd_ym2612_0:
    MOV X,#0
    MOV A,X
; opn_write: A = the port's offset among the copies, X = its first channel.
opn_write:
    MOV reg_ptr,A
    MOV reg_ptr+1,#hi(OPN_COPIES)
    MOV opn_port,X
    MOV A,[ptr]+Y
    INC Y
    MOV tmp,A                     ; the register
    MOV A,[ptr]+Y
    INC Y
    BBC chips.0,.skip             ; no room for the copies: not played
    PUSH Y
    MOV Y,tmp
    CMP Y,#$30
    BCC .global
    CMP Y,#$A0
    BCC .store
    CMP Y,#$A4
    BCC .fnum
    CMP Y,#$A8
    BCC .latch
    CMP Y,#$B0
    BCC .same                     ; channel 3's special-mode frequencies: not played
    CMP Y,#$B8
    BCS .same
.store:
    CMP A,[reg_ptr]+Y
    BEQ .same
    MOV [reg_ptr]+Y,A
    BRA .mark
.fnum:                            ; with the block and high bits of the latch
    MOV [reg_ptr]+Y,A
    INC Y
    INC Y
    INC Y
    INC Y
    MOV A,opn_latch
    MOV [reg_ptr]+Y,A
    MOV Y,tmp
    BRA .mark
.latch:                           ; $A4-$A6 of either port: one latch, as on the chip
    MOV opn_latch,A
.same:
    POP Y
.skip:
    JMP next
.global:
    BBS opn_port.0,.same          ; port 1 below $30: nothing; port 0: keys only (the
    CMP Y,#$28                    ; DAC is not played)
    BNE .same
    MOV tmp,A                     ; bits 2-0 channel (3 and 7 none), bits 7-4 operators
    AND A,#3
    CMP A,#3
    BEQ .same
    BBC tmp.2,.port0
    ADC A,#3                      ; (the compare left carry clear)
.port0:
    ADC A,#CH_OPN
    MOV X,A
    MOV A,tmp
    AND A,#$F0
    POP Y
    JMP fm_key
.mark:                            ; Y = register
    MOV A,Y
    AND A,#3
    CMP A,#3
    BEQ .same
    ADC A,opn_port                ; (carry clear: A was below 3)
    ADC A,#CH_OPN
    MOV X,A
    CMP Y,#$A0
    BCC .operator
    MOV A,#F_PITCH
    CMP Y,#$A4
    BCC .marked
    MOV A,#F_LEVEL
    CMP Y,#$B4
    BCS .marked
    BRA .patch
.operator:
    MOV A,Y                       ; operator 4's TL ($4C-$4E)?
    AND A,#$FC
    CMP A,#$4C
    BNE .patch
    MOV A,Y
    OR A,#$B0                     ; the channel's algorithm
    AND A,#$B3
    MOV Y,A
    MOV A,[reg_ptr]+Y
    AND A,#4
    BNE .patch
    MOV A,#F_LEVEL
    BRA .marked
.patch:
    MOV A,#F_PATCH
.marked:
    TCALL T_FM_MARK
    POP Y
    JMP next

; opn_registers: reg_ptr = where register $00 of YM2612 channel `sub` would be among the
; copies of its port (register r of the channel: [reg_ptr] + r).
opn_registers:
    MOV A,sub
    CMP A,#3
    BCC .port0
    ADC A,#$88 - 3 - 1            ; (carry set)
.port0:
    MOV reg_ptr,A
    MOV reg_ptr+1,#hi(OPN_COPIES)
    RET

; load_opn: the work record of YM2612 channel `sub`.
load_opn:
    TCALL T_OPN_REGISTERS
    MOV Y,#$B0
    MOV A,[reg_ptr]+Y
    MOV X,A
    AND A,#7
    MOV w_alg,A
    MOV A,X
    LSR A
    LSR A
    LSR A
    AND A,#7
    MOV w_fb,A
    MOV Y,#$B4
    MOV A,[reg_ptr]+Y
    MOV w_pan,A
    MOV w_wave,#0
    MOV Y,#$A4                    ; key code: 4 * block + the note of F-number bits 10-7
    MOV A,[reg_ptr]+Y
    MOV tmp,A
    MOV Y,#$A0
    MOV A,[reg_ptr]+Y
    ASL A
    MOV A,tmp
    ROL A
    AND A,#$0F
    MOV Y,A
    MOV A,tmp
    AND A,#$38
    LSR A
    OR A,!opn_key_note+Y
    MOV key_code,A
    MOV op_first,#$30
    MOV op_step,#$10
    JMP load_operators

opn_key_note:
    .db 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3

; pitch_opn: pitch64 of YM2612 channel `sub`.
pitch_opn:
    TCALL T_OPN_REGISTERS
    MOV Y,#$A0
    MOV A,[reg_ptr]+Y
    MOV fnum,A
    MOV Y,#$A4
    MOV A,[reg_ptr]+Y
    MOV tmp,A
    AND A,#7
    MOV fnum+1,A
    MOVW YA,kf_opn
    MOVW kf,YA
    MOV A,tmp
    LSR A
    LSR A
    LSR A
    AND A,#7
    JMP fnum_pitch
