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

; finish: the start-up (init.s) is done and has cleared the other areas it ran from; page
; 1's tables, where it ends, are cleared here, and the stream starts.
finish:
    MOV A,#0
    MOV X,#page1_end - S_PAGE
.clear:
    MOV !S_PAGE-1+X,A
    DEC X
    BNE .clear
    MOV A,#$FF
    MOV X,#CHANNELS - 1
.channels:
    MOV !ch_voice+X,A
    DEC X
    BPL .channels
    MOV !S_PAGE+s_making,A
    MOV Y,#0
group:
    TCALL T_NORMALIZE
    TCALL T_POLL                     ; a long run of commands must not let the timer's
    MOV A,[ptr]+Y                 ; 4-bit counter overflow
    INC Y
    MOV flags,A
    MOV entries,#8
entry:
    LSR flags
    BCS .psg
    MOV A,[ptr]+Y
    INC Y
    MOV cmd,A
    ; Commands by range: $4F-$54 and $61-$67 through a table, the short waits directly,
    ; the YM2612 DAC's commands skipped (the DAC is not played); every other byte is a
    ; one-byte command that does nothing.
    CMP A,#$68
    BCS .high
    SBC A,#$4F-1                  ; (carry clear) A - $4F
    CMP A,#6
    BCC .handler                  ; $4F-$54: entries 0-5
    SBC A,#$61-$4F                ; (carry set) $61-$67: 0-6, anything else above
    CMP A,#7
    BCS next
    ADC A,#6                      ; (carry clear) entries 6-12
.handler:
    ASL A
    MOV X,A
    JMP [!low_handlers+X]
.high:
    CMP A,#$90
    BCS .dac_stream
    CMP A,#$80
    BCS dac_byte
    CMP A,#$70
    BCC next
    AND A,#$0F                    ; $7n: n + 1 samples
    INC A
    MOV tmp,A
    MOV A,#0
    BRA add_wait
.dac_stream:
    SBC A,#$90                    ; (carry set)
    MOV X,A
    CMP X,#6
    BCC .operands
    CMP X,#$E0-$90
    BNE next
    MOV X,#6                      ; $E0 pppppppp: a PCM seek
.operands:
    MOV A,Y                       ; $90-$95: the DAC streams
    CLRC
    ADC A,!dac_operands+X
    MOV Y,A
    BRA next
.psg:
    MOV A,[ptr]+Y                 ; flag bit set: the entry is the data byte of a PSG write
    INC Y
    CALL psg_write
next:
    DBNZ entries,entry
    BRA group

cmd_wait:                         ; $61 nn nn
    MOV A,[ptr]+Y
    INC Y
    MOV tmp,A
    MOV A,[ptr]+Y
    INC Y
    BRA add_wait
cmd_wait735:
    MOV tmp,#lo(735)
    MOV A,#hi(735)
    BRA add_wait
cmd_wait882:
    MOV tmp,#lo(882)
    MOV A,#hi(882)
    BRA add_wait
; $8n: a DAC byte (not played), then n samples. Songs write the DAC up to 20000 times a
; second, so this is the shortest way through: the time is only counted, and the reading
; stops for a wait when something is to be applied or once it is LEAD ahead (looked at when
; owed passes a multiple of 256).
dac_byte:
    AND A,#$0F
    CLRC
    ADC A,owed
    MOV owed,A
    BCC .counted
    INCW owed+1
    MOV A,owed+2
    BNE .wait
    CMP owed+1,#hi(LEAD) + 1
    BCS .wait
.counted:
    MOV A,pending
    BEQ next
.wait:
    BRA wait_now
add_wait:                         ; owed += tmp (low byte), A (high byte)
    MOV tmp+1,A
    CLRC
    ADC owed,tmp
    ADC owed+1,tmp+1
    ADC owed+2,#0
; wait: the commands read since the last wait are due when owed has come down to this
; wait's length. The FM part's work for them is done at once, ahead of time: its voices are
; set up, but their key-ons and releases are held back (fm.s); at the due time everything
; else takes effect with them (commit). Then the player runs LEAD samples ahead of the owed
; time, so that the next commands' work is done before they are due: an FM note's set-up
; takes a few milliseconds, and its key-on still comes on time.
wait:
    TCALL T_NORMALIZE
    MOVW YA,tmp
    BRA wait_until
; wait_now: a wait whose commands are due now.
wait_now:
    TCALL T_NORMALIZE
    MOV A,Y
wait_until:
    MOVW due_at,YA
    MOV A,pending
    BEQ .lead                     ; nothing to apply: on to read ahead
    BBC pending.1,.due
    CALL fm_flush
.due:
    TCALL T_POLL
    CALL due
    BCC .commit
    CALL background
    BRA .due
.commit:
    CALL commit
.lead:
    MOV A,#lo(LEAD)
    MOV Y,#hi(LEAD)
    MOVW due_at,YA
.ahead:
    TCALL T_POLL
    CALL due
    BCC .read
    CALL background
    BRA .ahead
.read:
    MOV Y,#0
    BRA next
SLACK = 12                        ; samples: a wait shorter than this is not waited for
LEAD = 353                        ; samples (8 ms) of reading ahead

; due: carry clear when owed has come down to due_at + SLACK samples (a tick is 22).
due:
    MOVW YA,owed
    SUBW YA,due_at
    MOV X,A
    MOV A,owed+2
    SBC A,#0
    BMI .now
    BNE .later
    CMP Y,#0
    BNE .later
    CMP X,#SLACK + 1
    RET
.now:
    CLRC
    RET
.later:
    SETC
    RET



; Handlers of $4F-$54 and $61-$67; each continues at next.
low_handlers:
    .dw cmd_stereo, next, cmd_ym2413, cmd_ym2612_0      ; $4F-$52
    .dw cmd_ym2612_1, cmd_ym2151                        ; $53-$54
    .dw cmd_wait, cmd_wait735, cmd_wait882              ; $61-$63
    .dw next, next, cmd_end, cmd_data                   ; $64-$67
dac_operands:                     ; operand bytes of $90-$95 and $E0
    .db 4, 4, 5, 10, 1, 4, 4

cmd_stereo:                       ; $4F dd
    MOV A,[ptr]+Y
    INC Y
    MOV stereo,A
    OR psg_dirty,#$AA             ; every channel's volume again
    JMP next

; $67 $66 tt ssssssss data: a data block is skipped (it cannot exceed the 16-bit address
; space).
cmd_data:
    TCALL T_NORMALIZE
    MOV Y,#2
    MOV A,[ptr]+Y
    PUSH A
    INC Y
    MOV A,[ptr]+Y
    MOV Y,A
    POP A
    ADDW YA,ptr
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
    MOV X,#7
.voice:
    CALL free_voice
    DEC X
    BPL .voice
.idle:
    BRA .idle                     ; (the voices are off)

; normalize: ptr += Y, Y = 0.
normalize:
    MOV A,Y
    MOV Y,#0
    ADDW YA,ptr
    MOVW ptr,YA
    MOV Y,#0
    RET

; poll: takes the timer ticks since the last call off owed: 22 samples a tick, and one
; more every 20 ticks (22.05 = 22 + 1/20); then counts age_clock on and marks the notes
; that are due their later waveform. Keeps Y. (The start-up polls only within its first
; 10 ms, before the voice tables are cleared.)
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
    INC age_clock                 ; every 20 ticks: 10 ms; each step is seen once, so a
    MOV X,#7                      ; note LATER_AGE steps old takes its later waveform
.voice:                           ; (fm.s) once
    MOV A,v_level+X
    BEQ .next
    MOV A,age_clock
    SETC
    SBC A,v_release+X
    CMP A,#LATER_AGE
    BNE .next
    MOV A,v_slot+X                ; (not while it plays the stand-in sine: it has its
    BEQ .next                     ; first waveform to come)
    MOV A,v_owner+X
    PUSH X
    MOV X,A
    MOV A,#F_PATCH
    TCALL T_FM_MARK
    POP X
.next:
    DEC X
    BPL .voice
.whole:
    POP Y
.none:
    RET

; commit: the commands read take effect: the PSG's changes, and the FM
; part's held-back releases and key-ons, all voices' key-ons together (KON writes closer
; than 64 cycles would lose some).
commit:
    BBC pending.0,.release
    CALL psg_flush
.release:
    MOV A,rel_bits
    BEQ .kon
    MOV X,#7
.voice:
    MOV A,bit_of+X
    AND A,rel_bits
    BEQ .next
    MOV Y,v_release+X
    CALL voice_fade
.next:
    DEC X
    BPL .voice
.kon:
    TCALL T_POLL
    MOV A,#0
    MOV pending,A
    MOV rel_bits,A
    MOV Y,kon_bits
    BEQ .done
    MOV kon_bits,A
    MOV A,#KON
    MOVW DSPADDR,YA
.done:
    RET
