; ---- The packed stream and the time it takes.
;
; The stream is a VGM command stream gathered into flag groups: a flag byte, then eight
; entries; bit i of the flag byte marks entry i as an SN76489 write stored as its data byte
; alone. ptr + Y is the next stream byte: handlers read their operands with [ptr]+Y and
; INC Y (2 cycles against 6 for INCW ptr), and ptr catches up at every group and before
; anything that needs Y. A group holds at most 89 bytes, so Y cannot wrap inside one.
;
; Time: VGM waits count samples at 44100 Hz. Timer 2 ticks at 2000 Hz (64000 / 32); a tick
; is 22.05 samples. "owed" is the time still to wait, in samples: a wait adds to it, every
; tick takes 22 away and every 20th tick one more, so the count is exact and never drifts.
; Ticks that pass while commands run count against the next wait; the timer's counter
; holds 15 of them (7.5 ms), so no stretch of work may run longer without a poll.

group:
    MOV A,Y
    MOV Y,#0
    ADDW YA,ptr
    MOVW ptr,YA
    CALL poll                     ; a long run of commands must not let the timer's
    MOV Y,#0                      ; 4-bit counter overflow
    MOV A,[ptr]+Y
    INC Y
    MOV flags,A
    MOV entries,#8
entry:
    LSR flags
    BCS .psg
    MOV A,[ptr]+Y
    INC Y
    MOV cmd,A
    MOV X,A
    MOV A,!cmd_class+X
    MOV X,A
    JMP [!handlers+X]
.psg:
    MOV A,[ptr]+Y                 ; flag bit set: the entry is the data byte of a PSG write
    INC Y
    CALL psg_write
next:
    DBNZ entries,entry
    BRA group

; Command handlers, one per class of cmd_class; each continues at next.
handlers:
    .dw next, cmd_stereo, cmd_ym2413, cmd_ym2612_0, cmd_ym2612_1, cmd_ym2151
    .dw cmd_wait, cmd_wait735, cmd_wait882, cmd_end, cmd_data, cmd_wait_short, cmd_dac_write
    .dw cmd_seek0, cmd_seek, cmd_stream_setup, cmd_stream_bank, cmd_stream_rate
    .dw cmd_stream_start, cmd_stream_stop, cmd_stream_block
C_NONE = 0
C_STEREO = 2
C_YM2413 = 4
C_YM2612_0 = 6
C_YM2612_1 = 8
C_YM2151 = 10
C_WAIT = 12
C_WAIT735 = 14
C_WAIT882 = 16
C_END = 18
C_DATA = 20
C_WAIT_SHORT = 22
C_DAC_WRITE = 24
C_SEEK0 = 26
C_SEEK = 28
C_STREAM_SETUP = 30
C_STREAM_BANK = 32
C_STREAM_RATE = 34
C_STREAM_START = 36
C_STREAM_STOP = 38
C_STREAM_BLOCK = 40

; Class of every command byte. Bytes that the converter copies as one-byte commands (pad
; $4E, undefined bytes) take no time and do nothing.
cmd_class:
    .fill $4C, C_NONE             ; $00-$4B
    .db C_SEEK0                   ; $4C: seek to the start of the PCM bank
    .db C_NONE, C_NONE            ; $4D, $4E (pad)
    .db C_STEREO                  ; $4F dd
    .db C_NONE                    ; $50 never stands here (PSG writes are flag bits)
    .db C_YM2413, C_YM2612_0, C_YM2612_1, C_YM2151  ; $51-$54 aa dd
    .fill 12, C_NONE              ; $55-$60
    .db C_WAIT, C_WAIT735, C_WAIT882  ; $61 nn nn, $62, $63
    .fill 2, C_NONE               ; $64-$65
    .db C_END, C_DATA             ; $66, $67
    .fill 8, C_NONE               ; $68-$6F
    .fill 16, C_WAIT_SHORT        ; $70-$7F
    .fill 16, C_DAC_WRITE         ; $80-$8F
    .db C_STREAM_SETUP, C_STREAM_BANK, C_STREAM_RATE  ; $90 4 bytes, $91 4, $92 5
    .db C_STREAM_START, C_STREAM_STOP, C_STREAM_BLOCK ; $93 10, $94 1, $95 4
    .fill $4A, C_NONE             ; $96-$DF
    .db C_SEEK                    ; $E0 dddddddd
    .fill $1F, C_NONE             ; $E1-$FF
.assert * - cmd_class == 256, "cmd_class needs 256 entries"

cmd_stereo:
    MOV A,[ptr]+Y
    INC Y
    MOV stereo,A
    OR psg_dirty,#$AA             ; every channel's volume again
    JMP next

; $67 $66 tt ssssssss data: a PCM bank block is converted for the DSP (dac.s); any block
; is then skipped (it cannot exceed the 16-bit address space).
cmd_data:
    CALL normalize
    CALL dac_data_block
    MOV Y,#2
    MOV A,[ptr]+Y
    MOV tmp,A
    INC Y
    MOV A,[ptr]+Y
    MOV tmp+1,A
    MOVW YA,ptr
    ADDW YA,tmp
    MOVW ptr,YA
    MOV Y,#6
    JMP next

; $66: continue at the loop point, or fall silent and idle.
cmd_end:
    MOVW YA,loop_at
    BEQ .stop
    MOVW ptr,YA
    MOV Y,#0
    JMP group
.stop:
    CALL silence_all
.idle:
    CALL poll                     ; the housekeeping still ends releases and streams
    CALL housekeeping
    BRA .idle

cmd_wait:                         ; $61 nn nn
    MOV A,[ptr]+Y
    INC Y
    CLRC
    ADC A,owed
    MOV owed,A
    MOV A,[ptr]+Y
    INC Y
    ADC A,owed+1
    MOV owed+1,A
    ADC owed+2,#0
    BRA wait

cmd_wait735:
    CLRC
    ADC owed,#lo(735)
    ADC owed+1,#hi(735)
    ADC owed+2,#0
    BRA wait

cmd_wait882:
    CLRC
    ADC owed,#lo(882)
    ADC owed+1,#hi(882)
    ADC owed+2,#0
    BRA wait

cmd_wait_short:                   ; $7n: n + 1 samples
    MOV A,cmd
    AND A,#$0F
    SETC
    ADC A,owed
    MOV owed,A
    ADC owed+1,#0
    ADC owed+2,#0
; wait: the commands so far take effect; then the owed time passes. A wait shorter than
; SLACK samples is not waited for (a tick is 11 samples): the next commands run that much
; early, which costs less than spinning for a fraction of a tick.
wait:
    MOV A,owed+2
    BMI .now
    BNE .spin
    MOV A,owed+1
    BNE .spin
    MOV A,owed
    CMP A,#SLACK
    BCS .spin
.now:
    MOV A,pending                 ; late or nearly on time: what changed is applied
    BNE .apply                    ; at once, and the next command follows
    JMP next
.apply:
    CALL normalize
    CALL flush
    MOV Y,#0
    JMP next
.spin:
    CALL normalize
    MOV A,pending
    BEQ .loop
    CALL flush
.loop:
    CALL poll
    MOV A,owed+2
    BMI .done
    OR A,owed+1
    OR A,owed
    BEQ .done
    CALL housekeeping
    CALL background
    BRA .loop
.done:
    MOV Y,#0                      ; ptr is exact: the flush and the housekeeping use Y
    JMP next
SLACK = 12

; normalize: ptr += Y, Y = 0.
normalize:
    MOV A,Y
    MOV Y,#0
    ADDW YA,ptr
    MOVW ptr,YA
    MOV Y,#0
    RET

; poll: takes the timer ticks since the last call off owed: 22 samples a tick, and one
; more every 20 ticks (22.05 = 22 + 1/20). Keeps Y.
poll:
    MOV A,T2OUT
    BEQ .none
    PUSH Y
    MOV X,A
    CLRC
    ADC A,frac
    MOV frac,A
    MOV A,X
    MOV Y,#22
    MUL YA
    MOVW tmp_poll,YA
    MOVW YA,owed
    SUBW YA,tmp_poll
    MOVW owed,YA
    SBC owed+2,#0
    MOV A,frac
    CMP A,#20
    BCC .whole
    SBC A,#20
    MOV frac,A
    SETC
    SBC owed,#1
    SBC owed+1,#0
    SBC owed+2,#0
.whole:
    POP Y
.none:
    RET

; housekeeping: every 4 ms (timer 0) the envelopes, the DAC and the streams move on.
housekeeping:
    MOV A,T0OUT
    BEQ .none
    MOV ticks4,A
    CALL voices_tick
    CALL dac_tick
.none:
    RET

; flush: everything written since the last flush reaches the DSP; the voices to key on
; are keyed on together at the end (KON writes closer than 64 cycles would lose some).
flush:
    BBC pending.0,.fm
    CALL psg_flush
.fm:
    BBC pending.1,.dac
    CALL fm_flush
.dac:
    BBC pending.2,.kon
    CALL dac_flush
.kon:
    CALL poll
    MOV pending,#0
    MOV A,kon_bits
    BEQ .done
    MOV Y,A
    MOV A,#KON
    MOVW DSPADDR,YA
    MOV kon_bits,#0
.done:
    RET
