; ---- SN76489 (PSG): three square-wave tones and a noise channel.
;
; A tone channel sounds on a voice looping the 16-sample square wave, pitched by division
; (pitch = clock * 0.064 / period). The noise channel plays a sample of the chip's own shift
; register bits for white noise, and a 16-shift pulse for periodic noise; both are made at
; start-up in the heap (noise.s). Levels are a GAIN (direct) and VOL pair per 2 dB step.
; A channel takes a voice while it is audible and gives it back when it falls silent.

; psg_write: A = the byte written to the chip. Only the register copies change here; flush
; applies them. Keeps Y (the stream offset).
psg_write:
    MOV tmp,A
    BBS tmp.7,.latch
    MOV X,latch                   ; data byte: to the latched register
    CMP X,#6
    BCS .low4
    MOV A,X
    AND A,#1
    BNE .low4
    MOV A,tmp                     ; tone period: the 6 bits are bits 9-4
    AND A,#$3F
    XCN A
    MOV tmp,A
    AND A,#$03
    MOV regh+X,A
    MOV A,tmp
    AND A,#$F0
    MOV tmp,A
    MOV A,regl+X
    AND A,#$0F
    OR A,tmp
    MOV regl+X,A
    BRA .mark
.latch:
    XCN A                         ; 1 c c t d d d d: register r = c c t
    AND A,#$07
    MOV latch,A
    MOV X,A
.low4:
    MOV A,tmp                     ; bits 3-0 of register X
    AND A,#$0F
    MOV tmp,A
    MOV A,regl+X
    AND A,#$F0
    OR A,tmp
    MOV regl+X,A
.mark:
    CMP X,#6
    BNE .dirty
    MOV noise_reset,#1
.dirty:
    MOV A,!bit_of+X
    OR A,psg_dirty
    MOV psg_dirty,A
    SET1 pending.0
    RET

; psg_flush: applies every changed PSG register. Runs only where time is about to pass, so
; a period's two bytes cost one division.
psg_flush:
    BBC psg_dirty.4,.tones        ; tone 2 clocks the noise in rate mode 3
    MOV A,regl+6
    AND A,#3
    CMP A,#3
    BNE .tones
    OR psg_dirty,#$40
.tones:
    MOV chreg,#0
.tone:
    LSR psg_dirty
    BCC .no_pitch
    CALL tone_pitch
    LSR psg_dirty
    BRA .volume                   ; a period may mute or unmute the channel
.no_pitch:
    LSR psg_dirty
    BCC .next_channel
.volume:
    CALL tone_volume
.next_channel:
    INC chreg
    INC chreg
    CMP chreg,#6
    BNE .tone
    MOV A,psg_dirty               ; now bit 0 = noise control, bit 1 = noise attenuation
    BEQ .done
    BBS psg_dirty.0,.noise_clock
    BBS noise_set.0,.noise_volume ; the power-on control 0 until the song writes one
.noise_clock:
    CALL noise_clock
    MOV noise_set,#1
.noise_volume:
    CALL noise_volume
.done:
    MOV psg_dirty,#0
    RET

; tone_pitch: the pitch of tone register chreg from its period, kept in psg_pitch and given
; to the channel's voice.
tone_pitch:
    CALL poll                     ; four divisions in one flush outlast the timer's counter
    MOV X,chreg
    MOV A,regl+X
    MOV Y,regh+X
    CALL period_pitch
    MOV X,chreg
    MOV A,#0
    ROL A                         ; 1 when too short to hear
    MOV muted+X,A
    MOV A,pitch
    MOV psg_pitch+X,A
    MOV A,pitch+1
    MOV psg_pitch+1+X,A
    MOV A,chreg
    LSR A
    MOV X,A
    MOV A,!ch_voice+X
    BMI .done
    MOV X,A
    MOVW YA,pitch
    JMP voice_pitch
.done:
    RET

; tone_volume: the level of tone register chreg from its attenuation; the channel takes a
; voice when it becomes audible and gives it back when it falls silent.
tone_volume:
    MOV X,chreg
    MOV A,regl+1+X
    AND A,#$0F
    MOV Y,muted+X
    BEQ .audible
    MOV A,#15
.audible:
    MOV row,A
    MOV A,chreg
    LSR A
    MOV psg_channel,A
    MOV X,A
    MOV A,!channel_mask+X
    MOV vmask,A
    CALL psg_voice
    BCS .done
    MOV A,chreg                   ; a voice that was just taken starts at the tone's pitch
    MOV Y,A
    MOV A,!psg_pitch+1+Y
    PUSH A
    MOV A,!psg_pitch+Y
    POP Y
    BBC new_voice.0,.level
    CALL voice_pitch
    MOV A,#lo(square)
    MOV Y,#hi(square)
    CALL voice_sample
    CALL voice_key_on
.level:
    MOV A,row
    JMP set_volume
.done:
    RET

channel_mask:
    .db $11, $22, $44, $88

; psg_voice: psg_channel (0-3), row = attenuation row (15 silent). Gives back the channel's
; voice when silent (carry set), else returns carry clear with X = its voice, taken now when
; it had none (new_voice then 1).
psg_voice:
    MOV new_voice,#0
    MOV X,psg_channel
    MOV Y,row
    CMP Y,#15
    BNE .audible
    MOV A,!ch_voice+X
    BMI .none
    MOV X,A
    CALL free_voice
.none:
    SETC
    RET
.audible:
    MOV A,!gain_row+Y             ; loudness: the row's GAIN times its VOL
    PUSH A
    MOV A,!vol_row+Y
    POP Y
    MUL YA
    MOV A,Y
    ASL A
    MOV alloc_level,A
    MOV A,!ch_voice+X
    BMI .take
    MOV X,A
    MOV A,alloc_level
    MOV v_level+X,A
    CLRC
    RET
.take:
    MOV A,psg_channel
    CALL alloc_voice
    BCS .no
    MOV A,X                       ; GAIN mode: the level is set directly
    XCN A
    OR A,#V_ADSR1
    MOV Y,#0
    MOVW DSPADDR,YA
    MOV new_voice,#1
    CLRC
.no:
    RET

; noise_clock: noise control changed (or tone 2 while it clocks the noise). The shift clock
; is the tone rate of period 16, 32, 64 or tone 2's period: the pulse plays at that tone
; pitch (16 samples a shift), the white noise at an eighth of it (2 samples a shift). A
; noise write restarts the chip's shift register, and so the noise sample.
noise_clock:
    CALL poll
    MOV A,regl+6
    AND A,#3
    CMP A,#3
    BEQ .tone2
    MOV X,A
    MOV A,!noise_period+X
    MOV Y,#0
    BRA .pitch
.tone2:
    MOV A,regl+4
    MOV Y,regh+4
.pitch:
    CALL period_pitch
    BCC .audible
    MOV A,#$FF                    ; faster than the DSP can play: the top pitch
    MOV Y,#$3F
    MOVW pitch,YA
.audible:
    MOVW YA,pitch
    MOVW noise_pitch,YA
    MOV A,noise_reset
    OR A,new_voice
    MOV noise_restart,A
    MOV noise_reset,#0
    RET

noise_period:
    .db 16, 32, 64

; noise_volume: the noise channel's level, on its voice, with the sample of its kind; a
; noise write or a new voice starts the sample again.
noise_volume:
    MOV vmask,#$88
    MOV psg_channel,#3
    MOV A,regl+7
    AND A,#$0F
    MOV row,A
    BBC regl+6.2,.voice
    MOV A,white_noise+1           ; white noise is still being made: silent until then
    BNE .voice
    MOV row,#15
.voice:
    CALL psg_voice
    BCS .done
    MOV A,new_voice
    OR A,noise_restart
    MOV noise_restart,#0
    BEQ .pitch
    MOVW YA,pulse_noise
    BBC regl+6.2,.sample
    MOVW YA,white_noise
.sample:
    CALL voice_sample
    CALL voice_key_on
.pitch:
    MOVW YA,noise_pitch
    BBC regl+6.2,.set_pitch
    MOVW tmp,YA                   ; white: an eighth
    LSR tmp+1
    ROR tmp
    LSR tmp+1
    ROR tmp
    LSR tmp+1
    ROR tmp
    MOVW YA,tmp
.set_pitch:
    CALL voice_pitch
    MOV A,row
    BBS regl+6.2,.level
    CLRC
    ADC A,#PERIODIC_ROWS
.level:
    JMP set_volume
.done:
    RET

; ---- helpers

; period_pitch: YA = a 10-bit period N. Returns carry set when N is too short to hear
; (below 9: above 12 kHz), else carry clear and pitch = round(kconst / N), at most $3FFF.
period_pitch:
    MOVW den,YA
    CMP Y,#0
    BNE .long
    CMP A,#9
    BCS .long
    CMP A,#0
    BNE .short
    BBC zero_1k.0,.short          ; 0 means 1024 on TI chips, no tone on Sega's
    MOV den+1,#4
.long:
    CALL divide
    MOVW pitch,YA
    CLRC
    RET
.short:
    SETC
    RET

; divide: YA = round(kconst / den), clamped at $3FFF. Shift-and-subtract over the low 14
; bits of kconst + den / 2; its bits above those start as the remainder, and when they
; already reach den the quotient would not fit in 14 bits.
divide:
    MOV A,den+1
    LSR A
    MOV tmp+1,A
    MOV A,den
    ROR A
    MOV tmp,A
    MOVW YA,kconst
    ADDW YA,tmp
    MOVW num,YA
    MOV A,kconst+2
    ADC A,#0
    MOV num+2,A
    ASL num                       ; num+2 = bits 21-14, num+1:num = bits 13-0 << 2
    ROL num+1
    ROL num+2
    ASL num
    ROL num+1
    ROL num+2
    MOV A,num+2
    MOV Y,#0
    CMPW YA,den
    BCS .clamp
    MOVW rem,YA
    MOV count,#14
.bit:
    ASL num
    ROL num+1
    ROL rem
    ROL rem+1
    MOVW YA,rem
    CMPW YA,den
    BCC .zero
    SUBW YA,den
    MOVW rem,YA
    INC num
.zero:
    DBNZ count,.bit
    MOVW YA,num
    RET
.clamp:
    MOV A,#$FF
    MOV Y,#$3F
    RET

; set_volume: A = row of vol_row/gain_row (attenuation + table base), X = the voice,
; vmask = the channel's stereo bits. GAIN carries part of the level, VOLL/VOLR the rest,
; each side 0 when the stereo byte routes the channel away from it.
set_volume:
    MOV Y,A
    MOV A,X
    XCN A
    MOV X,A
    OR A,#V_GAIN
    MOV DSPADDR,A
    MOV A,!gain_row+Y
    MOV DSPDATA,A
    MOV A,!vol_row+Y
    MOV vol,A
    MOV A,stereo
    AND A,vmask
    MOV Y,A
    MOV DSPADDR,X
    AND A,#$F0
    BEQ .left
    MOV A,vol
.left:
    MOV DSPDATA,A
    INC X
    MOV DSPADDR,X
    MOV A,Y
    AND A,#$0F
    BEQ .right
    MOV A,vol
.right:
    MOV DSPDATA,A
    RET

; Levels for attenuation 0-15: each step 2 dB down (10^(-v/10) of step 0), 15 silent.
; VOL * GAIN pairs found by search; all within 0.03 dB of the ideal level, so the quiet
; end is as exact as the loud one. Tone rows serve the square and the white noise; the
; periodic rows are scaled so that the pulse sits against the tones as on the PSG.
PERIODIC_ROWS = 16
vol_row:
    .db 127, 105, 87, 77, 51, 44, 33, 28, 36, 16, 16, 12, 10, 7, 6, 0
    .db 105, 94, 76, 70, 67, 50, 34, 27, 20, 19, 13, 9, 9, 7, 6, 0
gain_row:
    .db 127, 122, 117, 105, 126, 116, 123, 115, 71, 127, 101, 107, 102, 116, 107, 0
    .db 125, 111, 109, 94, 78, 83, 97, 97, 104, 87, 101, 116, 92, 94, 87, 0
