; ---- YM2612 (OPN2): six 4-operator FM channels, the sixth also the DAC (dac.s).
;
; Register copies: port 0 and port 1, registers $30-$B7 each, at OPN0 and OPN1 at the top
; of RAM (free while the stream leaves it so). A write that changes a copy marks its
; channel: a carrier's TL or the pan the level (a carrier of an algorithm with several
; carriers the patch, since their balance is part of the waveform), any other operator
; register, the algorithm or the feedback the patch; $A0-$A2 the pitch, taking the block
; and high F-number bits latched by the last $A4-$A6 write, as the chip does. $28 keys
; channels on and off: a channel sounds while any of its operators is keyed.
OPN0 = $FEB0                      ; port 0 register r at OPN0 - $30 + r
OPN1 = OPN0 + $88                 ; port 1
.assert OPN1 + $88 == $FFC0, "the YM2612 copies end below the boot ROM area"

cmd_ym2612_0:
    MOV A,[ptr]+Y
    INC Y
    MOV X,A
    MOV A,[ptr]+Y
    INC Y
    CMP X,#$30
    BCC opn_global
    CMP X,#$A0
    BCS .high
.store:
    CMP A,!OPN0-$30+X
    BEQ opn_same
    MOV !OPN0-$30+X,A
    MOV A,#CH_OPN
    JMP opn_mark
.high:
    CMP X,#$A4
    BCC .fnum
    CMP X,#$A8
    BCC opn_latch_write
    CMP X,#$B0
    BCC opn_same                  ; channel 3's special-mode frequencies: not played
    CMP X,#$B8
    BCC .store
    JMP next
.fnum:
    MOV !OPN0-$30+X,A
    MOV A,opn_latch
    MOV !OPN0-$30+4+X,A
    MOV A,#CH_OPN
    JMP opn_mark

cmd_ym2612_1:
    MOV A,[ptr]+Y
    INC Y
    MOV X,A
    MOV A,[ptr]+Y
    INC Y
    CMP X,#$30
    BCC opn_same
    CMP X,#$A0
    BCS .high
.store:
    CMP A,!OPN1-$30+X
    BEQ opn_same
    MOV !OPN1-$30+X,A
    MOV A,#CH_OPN+3
    JMP opn_mark
.high:
    CMP X,#$A4
    BCC .fnum
    CMP X,#$A8
    BCC opn_latch_write
    CMP X,#$B0
    BCC opn_same
    CMP X,#$B8
    BCC .store
    JMP next
.fnum:
    MOV !OPN1-$30+X,A
    MOV A,opn_latch
    MOV !OPN1-$30+4+X,A
    MOV A,#CH_OPN+3
    JMP opn_mark

opn_latch_write:                  ; $A4-$A6 of either port: one latch, as on the chip
    MOV opn_latch,A
opn_same:
    JMP next

; opn_global: port 0 below $30. X = register, A = value.
opn_global:
    CMP X,#$28
    BEQ .key
    CMP X,#$2B
    BNE opn_same
    MOV dac_on,A                  ; bit 7: the DAC replaces channel 6
    JMP next
.key:
    MOV tmp,A                     ; bits 2-0 channel (3 and 7 none), bits 7-4 operators
    AND A,#3
    CMP A,#3
    BEQ opn_same
    BBC tmp.2,.port0
    ADC A,#3                      ; (the compare left carry clear)
.port0:
    ADC A,#CH_OPN
    MOV X,A
    MOV A,tmp
    AND A,#$F0
; fm_key: X = channel, A = 0 for key-off, else key-on. A key-on counts only when the
; channel was not keyed (the chip starts no attack for a key already on).
fm_key:
    BEQ .off
    MOV A,!ch_flags+X
    AND A,#F_KEY
    BNE opn_same
    MOV A,#F_KEY | F_KON
    CALL fm_mark
    JMP next
.off:
    MOV A,!ch_flags+X
    AND A,#F_KEY
    BEQ opn_same
    EOR A,!ch_flags+X             ; the key bit cleared
    OR A,#F_KOFF
    MOV !ch_flags+X,A
    SET1 pending.1
    JMP next

; opn_mark: X = register ($30-$B7), A = first channel of its port: the register's channel
; is marked (see the top of this file).
opn_mark:
    MOV tmp,A
    MOV A,X
    AND A,#3
    CMP A,#3
    BEQ opn_same
    ADC A,tmp                     ; (carry clear: A was below 3)
    MOV tmp,A
    CMP X,#$A0
    BCS .channel_regs
    MOV A,X
    AND A,#$F0
    CMP A,#$40
    BNE .patch
    MOV A,X                       ; a TL at offset 12 is operator 4's, a carrier in every
    AND A,#$0C                    ; algorithm, alone in algorithms 0-3; any other TL is a
    CMP A,#$0C                    ; modulator's or one of several carriers'
    BNE .patch
    MOV X,tmp
    PUSH Y
    CALL opn_channel_registers
    MOV Y,#$B0
    MOV A,[reg_ptr]+Y
    POP Y
    AND A,#4
    BNE .patch
    MOV A,#F_LEVEL
    BRA .mark
.channel_regs:
    CMP X,#$B0
    BCC .pitch
    CMP X,#$B4
    BCC .patch
    MOV A,#F_LEVEL                ; $B4-$B6: the pan
    BRA .mark
.pitch:
    MOV A,#F_PITCH
    BRA .mark
.patch:
    MOV A,#F_PATCH
.mark:
    MOV X,tmp
    CALL fm_mark
    JMP next

; opn_channel_registers: X = YM2612 channel; reg_ptr = where its register $00 would be
; among the copies of its port (register r of the channel: [reg_ptr] + r + its offset).
; Keeps X.
opn_channel_registers:
    MOV A,X
    SETC
    SBC A,#CH_OPN
    CMP A,#3
    BCC .port0
    ADC A,#lo(OPN1 - $30) - 4     ; (carry set: + 1 - 4 = - 3)
    MOV reg_ptr,A
    MOV reg_ptr+1,#hi(OPN1 - $30)
    RET
.port0:
    ADC A,#lo(OPN0 - $30)
    MOV reg_ptr,A
    MOV reg_ptr+1,#hi(OPN0 - $30)
    RET

; load_opn: the work record of YM2612 channel `channel`.
load_opn:
    MOV X,channel
    CALL opn_channel_registers
    MOV Y,#$B0
    MOV A,[reg_ptr]+Y
    AND A,#7
    MOV w_alg,A
    MOV A,[reg_ptr]+Y
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

; pitch_opn: pitch64 of YM2612 channel `channel`.
pitch_opn:
    MOV X,channel
    CALL opn_channel_registers
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
