; ---- What every FM chip shares: a channel's note on a voice.
;
; A chip's write handlers keep copies of its registers and mark the channel in ch_flags;
; at the next flush fm_flush brings each marked channel to the DSP:
;   key-on   the chip's loader fills the work record (w_...) from the register copies:
;            the operator graph, each operator's frequency multiple, level (TL) and
;            envelope rates, the pan. From it come the waveform's signature (looked up in
;            the waveform cache, waveform.s), the note's level (VOL, from the loudest
;            carrier's TL), its envelope (the loudest carrier's, as DSP ADSR and GAIN
;            settings) and its pitch. The channel takes a voice (voices.s) and keys it on.
;   pitch    only the pitch is computed again (a new frequency on a sounding note).
;   level    only the level (a carrier's TL, the volume or the pan).
;   patch    the waveform too (a modulator, the algorithm, a multiple).
;   key-off  the voice's envelope switches to the release, GAIN decreasing at the rate
;            closest to the carrier's release rate.
;
; Envelope rates are the chips' effective rates R (0-63 with key scaling, the YM2612's
; scale: each +4 halves the time); the tables below map R / 2 to the DSP's settings:
;   attack: ADSR attack (linear rise, matched at half the chip's attack time);
;   first decay: ADSR decay down to the sustain level when that is within the ADSR's
;     reach (18 dB); deeper, the ADSR decays to 18 dB and on at the same pace, and at the
;     time the chip would reach its sustain level the voice switches to GAIN (v_timer);
;   second decay and release: exponential GAIN decrease (linear where only that is fast
;     enough).

F_KEY    = $01                    ; ch_flags: the channel is keyed
F_KON    = $02                    ; a key-on since the last flush
F_KOFF   = $04                    ; a key-off since the last flush
F_PATCH  = $08                    ; the waveform may have changed
F_PITCH  = $10                    ; the frequency changed
F_LEVEL  = $20                    ; the level or the pan changed

; fm_mark: X = channel, A = flags to add; the FM part has something to flush. Keeps Y.
fm_mark:
    OR A,!ch_flags+X
    MOV !ch_flags+X,A
    SET1 pending.1
    RET

; fm_flush: every marked channel of every chip that is playing.
fm_flush:
    MOV X,#FIRST_FM_CHANNEL
.channel:
    MOV A,!ch_flags+X
    AND A,#$FE
    BEQ .next
    MOV channel,X
    CALL poll
    CALL fm_channel
    MOV X,channel
.next:
    INC X
    CMP X,#CHANNELS
    BNE .channel
    RET

; fm_channel: brings channel `channel` to the DSP (see the top of this file).
fm_channel:
    MOV X,channel
    MOV A,!ch_flags+X
    MOV events,A
    AND A,#F_KEY
    MOV !ch_flags+X,A
    MOV A,!ch_voice+X
    MOV voice,A
    BBC events.1,.sounding        ; F_KON
    CALL load_channel
    CALL note_level
    MOV alloc_level,A
    MOV A,channel
    CALL alloc_voice
    BCS .done
    MOV voice,X
    CMP channel,#CH_HH            ; the noise drums play the noise, at their own pitch
    BCS .noise
    CALL channel_waveform
    CALL channel_pitch
    BRA .envelope
.noise:
    CALL drum_noise
.envelope:
    CALL note_envelope
    CALL apply_level
    MOV X,voice
    CALL voice_key_on
    BBS events.0,.done            ; still keyed: the note sounds
    BRA .release                  ; keyed on and off between two flushes
.sounding:
    MOV A,voice
    BMI .done
    MOV A,events
    AND A,#F_PATCH | F_LEVEL
    BEQ .pitch
    CALL load_channel
    CALL note_level
    CALL apply_level
    BBC events.3,.pitch           ; F_PATCH
    CALL channel_waveform
    SET1 events.4                 ; the pitch again: the waveform may span two periods
.pitch:
    BBC events.4,.off             ; F_PITCH
    CALL channel_pitch
.off:
    BBC events.2,.done            ; F_KOFF
    MOV A,voice
    MOV X,A
    MOV A,!v_age+X
    BNE .done                     ; already released
    CALL load_channel
    CALL note_envelope
.release:
    MOV X,voice
    MOV A,X
    XCN A
    OR A,#V_GAIN
    MOV Y,env_release
    MOVW DSPADDR,YA
    AND A,#$F0
    OR A,#V_ADSR1
    MOV Y,#0
    MOVW DSPADDR,YA
    JMP release_voice
.done:
    RET

; load_channel: the chip's loader for `channel` fills the work record.
load_channel:
    MOV X,channel
    MOV A,!loader_of-FIRST_FM_CHANNEL+X
    MOV X,A
    JMP [!loaders+X]

; channel_pitch: the chip's pitch for `channel` (pitch64: the DSP pitch of a 64-sample
; period), halved when the waveform spans two periods, to the voice; at most the DSP's
; top pitch (a period above 2000 Hz, beyond any note of the chips' usual range).
channel_pitch:
    MOV X,channel
    MOV A,!pitcher_of-FIRST_FM_CHANNEL+X
    MOV X,A
    CALL jump_pitcher
    MOV X,voice
    MOV A,v_slot+X
    CALL slot_address
    MOV Y,#SLOT_STATE
    MOV A,[slot_ptr]+Y
    BPL .whole                    ; bit 7: the waveform spans two periods
    LSR pitch64+1
    ROR pitch64
.whole:
    MOVW YA,pitch64
    CMP Y,#$40
    BCC .set
    MOV A,#$FF
    MOV Y,#$3F
.set:
    JMP voice_pitch

jump_pitcher:
    JMP [!pitchers+X]

; note_level: the note's loudness (0-127, the VOL of its louder side) from the loudest
; carrier's TL; also sets note_vol and main_op.
note_level:
    MOV X,w_alg
    MOV A,!alg_carriers+X
    MOV carriers,A
    MOV A,#$7F
    MOV note_tl,A
    MOV X,#3
.op:
    MOV A,!bit_of+X
    AND A,carriers
    BEQ .next
    MOV A,!w_tl+X
    CMP A,note_tl
    BCS .next
    MOV note_tl,A
    MOV main_op,X
.next:
    DEC X
    BPL .op
    MOV A,note_tl
    CLRC
    ADC A,chip_gain               ; the chip's level against the others
    CALL tl_volume
    MOV note_vol,A
    RET

; tl_volume: A = attenuation in 0.75 dB steps (0-255); returns VOL = 127 * 10^(-0.75 A / 20).
tl_volume:
    CMP A,#64
    BCS .silent
    MOV Y,A
    AND A,#7
    MOV X,A
    MOV A,Y
    LSR A
    LSR A
    LSR A
    MOV Y,A
    MOV A,!vol_fine+X
    CMP Y,#0
    BEQ .done
.shift:
    LSR A
    DBNZ Y,.shift
.done:
    RET
.silent:
    MOV A,#0
    RET

vol_fine:
    .db 127, 116, 107, 98, 90, 82, 76, 69

; apply_level: VOLL and VOLR of the voice from note_vol and the pan (w_pan: bit 7 left,
; bit 6 right), and the voice's loudness for the voice pool.
apply_level:
    MOV X,voice
    MOV A,note_vol
    MOV v_level+X,A
    MOV A,X
    XCN A
    MOV Y,#0
    BBC w_pan.7,.left
    MOV Y,note_vol
.left:
    MOVW DSPADDR,YA
    INC A
    MOV Y,#0
    BBC w_pan.6,.right
    MOV Y,note_vol
.right:
    MOVW DSPADDR,YA
    RET

; note_envelope: the DSP envelope of the loudest carrier (main_op), written to the voice:
; ADSR1, ADSR2, and the timed switch for a deep first decay; env_release = its release.
note_envelope:
    MOV X,main_op
    MOV A,!w_rr+X
    LSR A
    MOV Y,A
    MOV A,!release_gain+Y
    MOV env_release,A
    MOV A,!w_ar+X                  ; ADSR1: attack from AR, decay from D1R
    LSR A
    MOV Y,A
    MOV A,!adsr_map+Y
    AND A,#$0F
    MOV env_adsr1,A
    MOV A,!w_d1r+X
    LSR A
    MOV env_d1,A
    MOV Y,A
    MOV A,!adsr_map+Y
    AND A,#$70
    OR A,#$80
    OR A,env_adsr1
    MOV env_adsr1,A
    MOV A,!w_d2r+X                 ; sustain rate from D2R
    LSR A
    MOV Y,A
    MOV A,!decay_rate+Y
    MOV env_sr,A
    MOV env_timer,#0
    MOV A,!w_d1l+X
    MOV env_d1l,A
    BEQ .top                      ; no first decay: sustain from the top
    MOV env_sl,#7                 ; a first decay slower than the ADSR's slowest: from the
    CMP env_d1,#SLOW_DECAY        ; top at its pace (as the sustain rate), then D2R at GAIN
    BCC .timed                    ; from the time the chip reaches D1L
    MOV env_sl,#0
    CMP A,#7
    BCS .timed                    ; deeper than the ADSR's levels: down to 18 dB by ADSR,
    MOV Y,A                       ; on at D1R's pace, then the same switch
    MOV A,!sustain_level-1+Y
    BRA .adsr2
.top:
    MOV A,#7
    BRA .adsr2
.timed:
    MOV Y,env_d1
    MOV A,!decay_rate+Y
    MOV tmp,env_sr
    MOV env_sr,A
    MOV A,!ticks_3db+Y
    MOV Y,A
    MOV A,env_d1l
    MUL YA
    CMP Y,#0
    BEQ .ticks
    MOV A,#$FF
.ticks:
    OR A,#1
    MOV env_timer,A
    MOV A,tmp
    OR A,#$A0                     ; D2R 0 leaves GAIN $A0: no change, the level holds
    MOV env_next,A
    MOV A,env_sl
.adsr2:
    XCN A
    ASL A
    OR A,env_sr
    MOV env_adsr2,A
    MOV X,voice
    MOV A,env_timer
    MOV !v_timer+X,A
    MOV A,env_next
    MOV !v_gain_next+X,A
    MOV A,X
    XCN A
    OR A,#V_ADSR2
    MOV Y,env_adsr2
    MOVW DSPADDR,YA
    DEC A
    MOV Y,env_adsr1
    MOVW DSPADDR,YA
    RET

SLOW_DECAY = 12                   ; R / 2 below this: slower than the ADSR's decay DR 0

; Envelope maps by R / 2 (R 1, 3, ..., 63), computed from the chips' attack and decay
; times and the DSP's rate table: adsr_map holds the ADSR decay DR in bits 6-4 (used for
; D1R) and the attack AR in bits 3-0 (used for AR); decay_rate the exponential rate
; (ADSR sustain rate or GAIN) that falls 24 dB in the chip's time; release_gain the GAIN
; value (exponential or linear decrease) that falls 20 dB in the chip's time; ticks_3db
; the 4 ms ticks a first decay takes for 3 dB.
adsr_map:
    .db $00, $00, $00, $01, $02, $03, $03, $04, $05, $06, $06, $07, $18, $29, $39, $3A
    .db $4B, $5C, $6C, $6D, $7E, $7E, $7E, $7E, $7E, $7E, $7E, $7E, $7F, $7F, $7F, $7F
decay_rate:
    .db 0, 1, 2, 4, 6, 7, 9, 10, 12, 13, 15, 16, 18, 19, 21, 22
    .db 24, 25, 27, 28, 29, 30, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31
release_gain:
    .db $A1, $A1, $A2, $A4, $A6, $A7, $A9, $AA, $AC, $AD, $AF, $B0, $B2, $B3, $B5, $B6
    .db $B8, $B9, $BB, $BC, $BD, $BE, $BF, $BF, $9B, $9C, $9D, $9E, $9F, $9F, $9F, $9F
ticks_3db:
    .db 255, 255, 255, 255, 255, 255, 184, 132, 92, 66, 46, 33, 23, 16, 12, 8
    .db 6, 4, 3, 2, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0
; ADSR sustain level for D1L 1-6 (3 dB steps): the DSP's (SL + 1) / 8 nearest in dB
sustain_level:
    .db 5, 3, 2, 1, 1, 0

; load_operators: the four operators of the work record from a chip's operator registers
; at [reg_ptr] + op_first + the operator's slot offset (0, 8, 4, 12 for operators 1-4,
; times 2 when op_step is $20), op_step apart: multiple, TL, key scaling and attack,
; first decay, second decay, sustain level and release. Rates become R with the key
; scaling of key_code (0-31).
load_operators:
    MOV X,#3
.op:
    MOV A,!operator_offset+X
    CMP op_step,#$20
    BNE .offset
    ASL A
.offset:
    CLRC
    ADC A,op_first
    MOV Y,A
    MOV A,[reg_ptr]+Y             ; multiple: cycles a period in halves (0 means 1/2)
    AND A,#$0F
    ASL A
    BNE .cycles
    INC A
.cycles:
    MOV !w_cyc2+X,A
    CALL next_register
    AND A,#$7F
    MOV !w_tl+X,A
    CALL next_register            ; key scaling: key code >> (3 - KS)
    MOV tmp,A
    XCN A
    LSR A
    LSR A
    AND A,#3
    EOR A,#3
    MOV tmp+1,A
    MOV A,key_code
    CMP tmp+1,#0
    BEQ .scaled
.scale:
    LSR A
    DBNZ tmp+1,.scale
.scaled:
    MOV ks_add,A
    MOV A,tmp
    CALL rate_of
    MOV !w_ar+X,A
    CALL next_register
    CALL rate_of
    MOV !w_d1r+X,A
    CALL next_register
    MOV dt2,A
    CALL rate_of
    MOV !w_d2r+X,A
    CALL next_register
    MOV tmp,A
    XCN A
    AND A,#$0F
    MOV !w_d1l+X,A
    MOV A,tmp                     ; release: 4 * RR + 2, with the key scaling
    AND A,#$0F
    ASL A
    ASL A
    OR A,#2
    CALL scaled_rate
    MOV !w_rr+X,A
    DEC X
    BPL .op
    RET

operator_offset:
    .db 0, 8, 4, 12

; next_register: Y moves on by op_step; A = the register there.
next_register:
    MOV A,Y
    CLRC
    ADC A,op_step
    MOV Y,A
    MOV A,[reg_ptr]+Y
    RET

; rate_of: A = a register with a 5-bit rate in bits 4-0; returns R = 2 * rate + the key
; scaling (at most 63), or 0 for rate 0 (no change). Keeps X and Y.
rate_of:
    AND A,#$1F
    BEQ scaled_rate_done
    ASL A
; scaled_rate: A = a rate before key scaling; returns it with ks_add, at most 63.
scaled_rate:
    CLRC
    ADC A,ks_add
    CMP A,#64
    BCC scaled_rate_done
    MOV A,#63
scaled_rate_done:
    RET

; fnum_pitch: pitch64 = fnum * kf * 2^A / 65536 (A = block): the pitch of a 64-sample
; period for an F-number and block, kf being the chip's clock constant.
fnum_pitch:
    MOV X,A
    MOV A,fnum
    MOV Y,kf
    MUL YA
    MOVW product,YA
    MOV A,fnum+1
    MOV Y,kf+1
    MUL YA
    MOVW product+2,YA
    MOV A,fnum
    MOV Y,kf+1
    MUL YA
    ADDW YA,product+1
    MOVW product+1,YA
    ADC product+3,#0
    MOV A,fnum+1
    MOV Y,kf
    MUL YA
    ADDW YA,product+1
    MOVW product+1,YA
    ADC product+3,#0
    CMP X,#0
    BEQ .rounded
.block:
    ASL product+1
    ROL product+2
    ROL product+3
    DEC X
    BNE .block
.rounded:
    MOV A,product+1
    ASL A
    MOV A,product+2
    ADC A,#0
    MOV pitch64,A
    MOV A,product+3
    ADC A,#0
    MOV pitch64+1,A
    RET

; build_signature: sig from the work record, after note_level (carriers, note_tl).
build_signature:
    MOV sig,#0                    ; two periods when any multiple is 1/2 (odd in halves)
    MOV X,#3
.half:
    MOV A,!w_cyc2+X
    AND A,#1
    BEQ .even
    MOV sig,#$80
.even:
    DEC X
    BPL .half
    MOV A,w_fb
    XCN A
    OR A,w_alg
    OR A,sig
    MOV sig,A
    MOV X,#3
.op:
    MOV A,!w_cyc2+X                ; cycles a period
    BBS sig.7,.cycles
    LSR A
.cycles:
    MOV sig+1+X,A
    MOV A,!bit_of+X
    AND A,carriers
    BEQ .modulator
    MOV A,!w_tl+X                  ; a carrier: against the loudest one
    SETC
    SBC A,note_tl
    BRA .level
.modulator:
    MOV A,!w_d1r+X                 ; a modulator: its level a moment into the note, past
    LSR A                         ; its attack and as far down its decays as they go
    MOV Y,A
    MOV A,!decay_100ms+Y
    MOV tmp,A
    MOV A,!w_d1l+X                 ; the sustain level in 0.75 dB steps
    ASL A
    ASL A
    MOV tmp+1,A
    CMP A,tmp
    BCS .first_decay
    MOV A,!w_d2r+X                 ; reached: then half of 100 ms of the second decay
    LSR A
    MOV Y,A
    MOV A,!decay_100ms+Y
    LSR A
    CLRC
    ADC A,tmp+1
    MOV tmp,A
.first_decay:
    MOV A,!w_ar+X
    LSR A
    MOV Y,A
    MOV A,!attack_100ms+Y
    CLRC
    ADC A,tmp
    BCS .off
    ADC A,!w_tl+X
    BCS .off

.level:
    CMP A,#$80
    BCC .wave
.off:
    MOV A,#$7F
.wave:
    MOV tmp,A
    MOV A,!bit_of+X
    AND A,w_wave                  ; half-sine
    BEQ .full
    MOV A,#$80
.full:
    OR A,tmp
    MOV sig+5+X,A
    DEC X
    BPL .op
    RET

; By R / 2: the decay in 100 ms, in 0.75 dB steps (at most 127); the attack still to go at
; 100 ms (half its level in dB, roughly where the chip's curve stands).
decay_100ms:
    .db 0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 2, 3, 4, 6, 9, 12
    .db 17, 24, 35, 49, 70, 97, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127
attack_100ms:
    .db 127, 64, 63, 63, 62, 61, 60, 59, 56, 53, 49, 43, 33, 21, 3, 0
    .db 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0

; Each chip's loader and pitch, by channel from FIRST_FM_CHANNEL.
loaders:
    .dw load_opn, load_opm, load_opll, load_noise_drum
pitchers:
    .dw pitch_opn, pitch_opm, pitch_opll
loader_of:
pitcher_of:
    .fill 6, 0                    ; YM2612
    .db 0                         ; (the DAC)
    .fill 8, 2                    ; YM2151
    .fill 9, 4                    ; YM2413
    .fill 3, 6                    ; its noise drums (no pitcher: their pitch is fixed)

; ---- start-up

; fm_init: the chips in the header: their clock constants and register copies; the
; waveform cache in the heap below the copies; slot 0 made (the sine).
fm_init:
    MOV A,#0                      ; every channel's last slot forgotten
    MOV X,#CHANNELS-1
.slots:
    MOV A,#$FF
    MOV !ch_slot+X,A
    DEC X
    BPL .slots
    MOV !S_PAGE+s_making,A
    MOV chip_gain,#0
    MOV A,#HDR_OPN_CLOCK          ; the YM2612: clock (0: 7670453 Hz) * 2 / 1125
    CALL clock_field
    BNE .opn_clock
    MOV num,#lo(OPN_CLOCK)
    MOV num+1,#hi(OPN_CLOCK)
    MOV num+2,#OPN_CLOCK >> 16
.opn_clock:
    ASL num
    ROL num+1
    ROL num+2
    CALL divide_by_1125
    MOVW YA,num
    MOVW kf_opn,YA
    MOV A,#HDR_OPM_CLOCK          ; the YM2151: clock (0: 3579545 Hz) * 4 / 437
    CALL clock_field
    BNE .opm_clock
    MOV num,#lo(OPM_CLOCK)
    MOV num+1,#hi(OPM_CLOCK)
    MOV num+2,#OPM_CLOCK >> 16
.opm_clock:
    ASL num
    ROL num+1
    ROL num+2
    ASL num
    ROL num+1
    ROL num+2
    MOV X,#19
    CALL divide_num
    MOV X,#23
    CALL divide_num
    MOVW YA,num
    MOVW kf_opm,YA
    MOV A,#HDR_OPLL_CLOCK         ; the YM2413: clock (0: 3579545 Hz) * 16 / 1125
    CALL clock_field
    BNE .opll_clock
    MOV num,#lo(OPLL_CLOCK)
    MOV num+1,#hi(OPLL_CLOCK)
    MOV num+2,#OPLL_CLOCK >> 16
.opll_clock:
    MOV count,#4
.times16:
    ASL num
    ROL num+1
    ROL num+2
    ROL num+3
    DBNZ count,.times16
    CALL divide_by_1125
    MOVW YA,num
    MOVW kf_opll,YA
    MOV slot_base,#lo(SLOT0)      ; the cache: slot 0 here, the others in the heap
    MOV slot_base+1,#hi(SLOT0)
    MOV slot_count,#1
    MOV slots_used,#1
    MOV slot_next,#0
    RET

; clock_field: the 32-bit header field at HDR + A into num, without the dual-chip bits;
; returns Z set when it is 0.
clock_field:
    MOV X,A
    MOV A,!STREAM+X
    MOV num,A
    MOV A,!STREAM+1+X
    MOV num+1,A
    MOV A,!STREAM+2+X
    MOV num+2,A
    MOV A,!STREAM+3+X
    AND A,#$3F
    MOV num+3,A
    OR A,num
    OR A,num+1
    OR A,num+2
    RET

; divide_by_1125: num /= 1125 (as 125 then 9, a byte at a time from the top: the remainder
; stays below the divisor, so every quotient byte fits).
divide_by_1125:
    MOV X,#125
    CALL divide_num
    MOV X,#9
; divide_num: num /= X (X at most 255).
divide_num:
    MOV Y,#0
    MOV A,num+3
    DIV YA,X
    MOV num+3,A
    MOV A,num+2
    DIV YA,X
    MOV num+2,A
    MOV A,num+1
    DIV YA,X
    MOV num+1,A
    MOV A,num
    DIV YA,X
    MOV num,A
    RET
