; ---- SN76489 (PSG): three square-wave tones and a noise channel.
;
; A tone channel sounds on a voice looping the 16-sample square wave, pitched by division
; (pitch = clock * 0.064 / period). The noise channel plays a sample of the chip's own shift
; register bits for white noise, and a 16-shift pulse for periodic noise; both are made in
; the heap (noise.s). Levels are a GAIN (direct) and VOL pair per 2 dB step. A channel takes
; a voice while it is audible and gives it back when it falls silent.
;
; Each channel has a pair of registers, chreg = 2 * channel: chreg its period (the noise:
; its control), chreg + 1 its attenuation; the tables by chreg follow that pairing.

; psg_write: A = the byte written to the chip. Only the register copies change here; flush
; applies them. Keeps Y (the stream offset).
psg_write:
    MOV tmp,A
    BBC tmp.7,.data
    XCN A                         ; a latch byte 1 r r r d d d d: register r is latched
    AND A,#$07
    MOV latch,A
.data:
    MOV X,latch
    MOV A,bit_of+X
    TSET1 !psg_dirty              ; psg_dirty |= A (A is kept)
    SET1 pending.0
    BBS tmp.7,.low4               ; a latch byte: bits 3-0 of the register
    AND A,#$15
    BEQ .low4                     ; a data byte: bits 9-4 of a tone's period, else bits 3-0
    MOV A,tmp
    AND A,#$3F
    MOV regh+X,A
    RET
.low4:
    MOV A,tmp
    AND A,#$0F
    MOV regl+X,A
    RET

; psg_flush: applies every changed PSG register. Runs only where time is about to pass, so
; a period's two bytes cost one division.
psg_flush:
    MOV psg_written,psg_dirty     ; bit 6: a noise write restarts the chip's shift register
    BBC psg_dirty.4,.channels     ; tone 2 clocks the noise in rate mode 3
    BBC regl+6.0,.channels
    BBC regl+6.1,.channels
    SET1 psg_dirty.6
.channels:
    MOV sides,stereo
    MOV chreg,#0
.channel:
    LSR psg_dirty
    BCC .level
    CALL psg_period
    SET1 psg_dirty.0              ; the level path gives the voice its pitch (and a period
                                  ; may mute or unmute the channel)
.level:
    LSR psg_dirty
    BCC .next
    CALL psg_level
.next:
    LSR sides                     ; the next channel's stereo bits to bits 4 and 0
    INC chreg
    INC chreg
    MOV A,psg_dirty               ; until no change is left
    BNE .channel
    RET

; psg_period: the period (the noise: its control) of channel chreg changed. Its pitch goes
; to psg_pitch, and the first row of its levels to row_base (15 while it cannot be heard).
psg_period:
    TCALL T_POLL                     ; four divisions in one flush outlast the timer's counter
    MOV X,chreg
    CMP X,#6
    BEQ noise_period
    CALL tone_period
    CMP Y,#0
    BNE psg_audible
    CMP A,#9
    MOV A,#15
    BCC set_row_base              ; below 9: above 12 kHz, too high to hear
; psg_audible: X = chreg, den = its period: heard from level row 0, at its pitch.
psg_audible:
    CALL divide
    MOV psg_pitch+X,A
    MOV psg_pitch+1+X,Y
    MOV A,#0
; set_row_base: X = chreg, A = its row base (the pitch is left as it was).
set_row_base:
    MOV row_base+X,A
    RET

; noise_period: psg_period for the noise (X = 6). The shift clock is the tone rate of
; period 16, 32, 64 or tone 2's period: the pulse plays at that tone pitch (16 samples a
; shift), the white noise at an eighth of it (2 samples a shift).
noise_period:
    MOV A,regl+6
    AND A,#3
    CMP A,#3
    BNE .fixed
    MOV X,#4
    CALL tone_period
    BRA .kind
.fixed:
    MOV X,A                       ; 16 << rate
    MOV A,bit_of+X
    XCN A
    MOV Y,#0
    MOVW den,YA
.kind:
    MOV X,#6
    BBC regl+6.2,psg_audible
    MOV A,#15                     ; white noise still being made: silent until then
    MOV Y,white_noise+1
    BEQ set_row_base
    MOV Y,#3                      ; white: eight times the period
.eighth:
    ASL den
    ROL den+1
    DBNZ Y,.eighth
    BRA psg_audible

; tone_period: X = a tone register (0, 2, 4). YA = den = its period; 0 means 1024 on TI
; chips. Keeps X.
tone_period:
    MOV A,regh+X
    MOV Y,#16
    MUL YA
    OR A,regl+X
    BNE .done
    CMP Y,#0
    BNE .done
    MOV Y,zero_1k
.done:
    MOVW den,YA
    RET

; psg_level: the level of channel chreg. While heard the channel has a voice (a voice just
; taken, or the noise after a write, starts its sample); silent, it gives its voice back.
psg_level:
    MOV X,chreg
    MOV A,psg_pitch+X             ; its pitch to den (X is the voice when it is sent)
    MOV Y,psg_pitch+1+X
    MOVW den,YA
    MOV A,regl+1+X
    OR A,row_base+X
    MOV Y,A
    MOV A,X
    LSR A
    MOV X,A                       ; the channel
    MOV A,!vol_row+Y
    BNE .heard
    MOV A,!ch_voice+X
    BMI .done
    MOV X,A
    JMP free_voice
.heard:
    MOV vol,A
    MOV A,!gain_row+Y
    MOV gain,A
    MOV Y,vol
    MUL YA                        ; loudness: VOL * GAIN / 128
    MOV A,Y
    ASL A
    MOV alloc_level,A
    MOV A,!ch_voice+X
    CMP X,#CH_NOISE
    BNE .had
    OR A,psg_written
.had:
    MOV new_voice,A               ; bit 6: no voice yet ($FF), or the noise restarts
    MOV A,X
    CALL alloc_voice
    BCS .done
    BBC new_voice.6,.playing
    CALL voice_off                ; GAIN mode (the level follows)
    MOV A,#lo(square)
    MOV Y,#hi(square)
    CMP chreg,#6
    BNE .sample
    MOVW YA,pulse_noise
    BBC regl+6.2,.sample
    MOVW YA,white_noise
.sample:
    TCALL T_VOICE_SAMPLE
    TCALL T_VOICE_KEY_ON
.playing:
    MOVW YA,den
    CALL voice_pitch
    MOV A,X                       ; GAIN carries part of the level, VOLL/VOLR the rest,
    XCN A                         ; each side 0 when the stereo byte routes the channel away
    OR A,#V_GAIN
    MOV Y,gain
    MOVW DSPADDR,YA
    AND A,#$F0                    ; VOLL
    MOV Y,vol
    BBS sides.4,.left
    MOV Y,#0
.left:
    MOVW DSPADDR,YA
    INC A                         ; VOLR
    MOV Y,vol
    BBS sides.0,.right
    MOV Y,#0
.right:
    MOVW DSPADDR,YA
.done:
    RET

; divide: den = a divisor. YA = round(kconst / 4 / den), clamped at $3FFF (so also for den
; 0). Long division of kconst / 2: its top byte is the first remainder (when that reaches
; den the quotient needs more than 14 bits); each of 15 steps shifts the next dividend bit
; out of num and the step before's quotient bit into it, so the 15th bit, a half, is left
; in carry to round with. Keeps X.
divide:
    MOVW YA,kconst
    MOVW num,YA
    MOV A,kconst+2
    MOV Y,#0
    CMPW YA,den                   ; carry clear from here on: the first bit shifted in is 0
    BCS .clamp
    MOV count,#15
.bit:
    MOVW rem,YA
    ROL num
    ROL num+1
    ROL rem
    ROL rem+1
    MOVW YA,rem
    CMPW YA,den                   ; carry: the quotient bit
    BCC .zero
    SUBW YA,den                   ; leaves carry set
.zero:
    DBNZ count,.bit
    BCC .rounded
    INCW num
.rounded:
    CLR1 num+1.7                  ; kconst's bit 0, shifted up to there
    MOVW YA,num
    CMP Y,#$40
    BCC .done
.clamp:
    MOV A,#$FF
    MOV Y,#$3F
.done:
    RET

; One block, 8 samples at +7 and 8 at -7: a 16-sample period. Shift 10 keeps a voice at
; full volume near 7000, so five voices never clip. Header $A3: shift 10, filter 0, loop+end.
square:
    .db $A3, $77, $77, $77, $77, $99, $99, $99, $99
