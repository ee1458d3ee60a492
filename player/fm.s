; ---- What every FM chip shares: a channel's note on a voice.
;
; A chip's write handlers keep copies of its registers and mark the channel in ch_flags;
; at the next flush fm_flush brings each marked channel to the DSP:
;   key-on   the chip's loader fills the work record (w_...) from the register copies:
;            the operator graph, each operator's frequency multiple, level (TL) and
;            envelope rates, the pan. From it come the waveform's signature (looked up in
;            the waveform cache, waveform.s), the note's level (VOL, from the loudest
;            carrier's TL), its envelope (the loudest carrier's, as DSP ADSR settings) and
;            its pitch. The channel takes a voice (voices.s) and keys it on.
;   pitch    only the pitch is computed again (a new frequency on a sounding note).
;   level    only the level (a carrier's TL, the volume or the pan).
;   patch    the waveform too (a modulator, the algorithm, a multiple); while the player
;            is behind the song, the level alone (the timbre changes at the next key-on).
;   later    a note LATER_AGE steps of 10 ms old is marked as a patch change once
;            (stream.s, poll): its modulators have moved on since its key-on, so it takes
;            the waveform of their levels later in the note (note_stage).
;   key-off  the voice's envelope switches to the release, GAIN decreasing at the rate
;            closest to the carrier's release rate.
;
; Envelope rates are the chips' effective rates R (0-63 with key scaling, the YM2612's
; scale: each +4 halves the time); by R / 2 they map to the DSP's settings:
;   attack: ADSR attack (linear rise, matched at half the chip's attack time), adsr_map;
;   first decay: ADSR decay (adsr_map) down to the sustain level, when that is within the
;     ADSR's reach (18 dB); a deeper one decays to 18 dB and on at the same pace, and one
;     slower than the ADSR's slowest decays from the top at its pace (sustain rate);
;   second decay and release: exponential decrease that falls 24 dB in the chip's time
;     (rate = 1.5 R / 2); the fastest releases decrease linearly.

F_KEY    = $01                    ; ch_flags: the channel is keyed
F_KON    = $02                    ; a key-on since the last flush
F_KOFF   = $04                    ; a key-off since the last flush
F_PATCH  = $08                    ; the waveform may have changed
F_PITCH  = $10                    ; the frequency changed
F_LEVEL  = $20                    ; the level or the pan changed
LATER_AGE = 15                    ; 150 ms: a note takes its later waveform

; fm_key: X = channel, A = 0 for key-off, else key-on; returns to the stream. A key-on
; counts only when the channel was not keyed (the chip starts no attack for a key already
; on), a key-off only when it was.
fm_key:
    TCALL T_KEY_CHANGE
    JMP next
; key_change: fm_key without the return to the stream. Keeps Y.
key_change:
    CMP A,#1                      ; carry: a key-on
    MOV A,!ch_flags+X
    AND A,#F_KEY
    BCS .on
    BEQ key_unchanged
    EOR A,!ch_flags+X             ; the key bit cleared
    OR A,#F_KOFF
    BRA fm_store
.on:
    BNE key_unchanged
    MOV A,#F_KEY | F_KON
; fm_mark: X = channel, A = flags to add; the FM part has something to flush. Keeps Y
; and the carry. A released channel is not marked: its next key-on loads everything anew,
; and songs rewrite patches between notes, so its marks would only cost time.
fm_mark:
    OR A,!ch_flags+X
    PUSH A
    AND A,#F_KEY
    POP A                         ; (the flags of the AND stay)
    BEQ key_unchanged
; fm_store: the same with A = the channel's new flags.
fm_store:
    MOV !ch_flags+X,A
    SET1 pending.1
key_unchanged:
    RET

; fm_flush: every marked channel of every chip.
fm_flush:
    MOV X,#CH_OPN
.channel:
    MOV A,!ch_flags+X
    AND A,#$FE
    BEQ .next
    MOV channel,X
    TCALL T_POLL
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
    TCALL T_LOAD_CHANNEL
    MOV alloc_level,note_vol
    MOV A,channel
    CALL alloc_voice
    BCS .done
    MOV voice,X
    TCALL T_VOICE_KEY_ON
    CALL note_envelope
    SET1 events.3                 ; a new note: its waveform and pitch as for a new patch
    BRA .loaded
.sounding:
    MOV A,voice
    BMI .done
    MOV A,events
    AND A,#F_PATCH | F_LEVEL | F_KOFF
    BEQ .pitch
    TCALL T_LOAD_CHANNEL
    BBC owed+2.7,.loaded          ; behind the song (owed < 0), a sounding note keeps its
    CLR1 events.3                 ; waveform: a new one costs the time that the notes need
.loaded:
    CALL apply_level
    BBC events.3,.pitch           ; F_PATCH
    CMP channel,#CH_HH
    BCC .waveform
    MOV X,voice
    CALL drum_noise
    BRA .off
.waveform:
    TCALL T_NOTE_PITCH               ; (a high note takes a waveform of two periods)
    CALL channel_waveform
    BRA .set_pitch
.pitch:
    BBC events.4,.off             ; F_PITCH
    TCALL T_NOTE_PITCH
.set_pitch:
    CALL set_pitch
.off:
    BBS events.0,.done            ; still keyed: the note sounds on
    MOV A,events
    AND A,#F_KON | F_KOFF
    BEQ .done
    MOV X,main_op                 ; released: the loudest carrier's release
    MOV A,w_rr+X
    LSR A
    CMP A,#24
    BCC .exponential
    ADC A,#$9C - 24 - 1           ; the fastest: linear decrease (carry set)
    CMP A,#$A0
    BCC .gain
    MOV A,#$9F
    BRA .gain
.exponential:
    TCALL T_DECAY_RATE
    OR A,#$A0
.gain:
    MOV X,voice                   ; held back until the commands are due (stream.s)
    MOV v_release+X,A
    MOV A,bit_of+X
    TSET1 !rel_bits
    MOV A,#0
    MOV v_level+X,A
.done:
    RET

; load_channel: the chip's loader fills the work record for `channel`, then note_level.
load_channel:
    TCALL T_CHANNEL_CHIP
    CALL .load
    BRA note_level
.load:
    JMP [!loaders+X]

; channel_chip: X = the chip of `channel` times 2 (0 YM2612, 2 YM2151, 4 YM2413, 6 the
; YM2413's noise drums), sub = the channel's number within it.
channel_chip:
    MOV X,#3
.chip:
    MOV A,channel
    SETC
    SBC A,!chip_first+X
    DEC X
    BCC .chip
    INC X
    MOV sub,A
    MOV A,X
    ASL A
    MOV X,A
    RET

chip_first:
    .db CH_OPN, CH_OPM, CH_OPLL, CH_HH
loaders:
    .dw load_opn, load_opm, load_opll, load_noise_drum
pitchers:
    .dw pitch_opn, pitch_opm, pitch_opll

; channel_pitch: the chip's pitch for `channel` (note_pitch), to its voice (set_pitch).
channel_pitch:
    TCALL T_NOTE_PITCH
; set_pitch: pitch64 to the voice, halved when its waveform spans two periods; at most the
; DSP's top pitch.
set_pitch:
    MOV X,voice
    MOV A,v_slot+X
    BNE .slot
    MOV X,main_op                 ; the sine (slot 0) stands in for a waveform being made:
    MOV A,w_cyc2+X               ; at the loudest carrier's frequency, pitch64 * its
    MOV fnum+1,A                  ; cycles in halves / 2 (fnum_pitch: 256 * cycles *
    MOV fnum,#0                   ; pitch64 * 2^7 / 65536)
    MOVW YA,pitch64
    MOVW kf,YA
    MOV A,#7
    TCALL T_FNUM_PITCH
    MOV X,voice
    BRA .whole
.slot:
    TCALL T_SLOT_ADDRESS
    MOV Y,#SLOT_SIG
    MOV A,[slot_ptr]+Y            ; bit 7: the waveform spans two periods
    BPL .whole
.half:
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

; note_pitch: pitch64, the DSP pitch of a 64-sample period at the note of `channel`.
note_pitch:
    TCALL T_CHANNEL_CHIP
    JMP [!pitchers+X]

; note_level: the note's loudness (0-127, the VOL of its louder side) from the loudest
; carrier's TL: note_vol, also carriers, note_tl and main_op.
note_level:
    MOV X,w_alg
    MOV A,!alg_carriers+X
    MOV carriers,A
    MOV note_tl,#$7F
    MOV X,#3
.op:
    MOV A,bit_of+X
    AND A,carriers
    BEQ .next
    MOV A,w_tl+X
    CMP A,note_tl
    BCS .next
    MOV note_tl,A
    MOV main_op,X
.next:
    DEC X
    BPL .op
    MOV A,note_tl                 ; VOL = 127 * 10^(-0.75 TL / 20), 0 from 48 dB
    CALL level_amplitude
    LSR A                         ; (rounded: the quiet end's steps stay even)
    ADC A,#0
    MOV note_vol,A
    RET

; apply_level: VOLL and VOLR of the voice from note_vol and the pan (w_pan: bit 7 left,
; bit 6 right).
apply_level:
    MOV A,voice
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

; note_envelope: the DSP envelope of the loudest carrier (main_op), written to the voice
; as ADSR1 and ADSR2 (see the top of this file).
note_envelope:
    MOV X,main_op
    MOV A,w_ar+X                 ; ADSR1: attack from AR, decay from D1R
    LSR A
    MOV Y,A
    MOV A,!adsr_map+Y
    AND A,#$0F
    MOV env_adsr1,A
    MOV A,w_d1r+X
    LSR A
    MOV env_d1,A
    MOV Y,A
    MOV A,!adsr_map+Y
    AND A,#$F0                    ; (with the ADSR on)
    OR A,env_adsr1
    MOV env_adsr1,A
    MOV A,w_d2r+X                ; the sustain rate: D2R, or D1R where it goes on
    LSR A
    MOV tmp,A
    MOV Y,#$E0                    ; the sustain level, in bits 7-5
    MOV A,w_d1l+X
    BEQ .adsr2                    ; no first decay: sustain from the top
    CMP env_d1,#SLOW_DECAY
    BCC .first                    ; slower than the ADSR's decay: from the top at its pace
    MOV Y,#0
    CMP A,#7
    BCS .first                    ; deeper than 18 dB: to 18 dB, then on at its pace
    MOV Y,A
    MOV A,!sustain_level-1+Y
    MOV Y,A
    BRA .adsr2
.first:
    MOV tmp,env_d1
.adsr2:
    MOV env_d1,Y
    MOV A,tmp
    TCALL T_DECAY_RATE
    OR A,env_d1
    MOV Y,A
    MOV A,voice
    XCN A
    OR A,#V_ADSR2
    MOVW DSPADDR,YA
    DEC A
    MOV Y,env_adsr1
    MOVW DSPADDR,YA
    RET

SLOW_DECAY = 12                   ; R / 2 below this: slower than the ADSR's decay DR 0

; decay_rate: A = R / 2; returns the DSP rate (0-31) of an exponential decrease that falls
; 24 dB in the chip's time for 24 dB: 1.5 R / 2. Keeps X and Y.
decay_rate:
    MOV tmp+1,A
    LSR A
    CLRC
    ADC A,tmp+1
    CMP A,#32
    BCC .done
    MOV A,#31
.done:
    RET

; By R / 2 (R 1, 3, ..., 63), from the chips' attack and decay times and the DSP's rate
; table: the ADSR decay DR in bits 6-4 (used for D1R), bit 7 set (ADSR1's "ADSR on") and
; the attack AR in bits 3-0.
adsr_map:
    .db $80, $80, $80, $81, $82, $83, $83, $84, $85, $86, $86, $87, $98, $A9, $B9, $BA
    .db $CB, $DC, $EC, $ED, $FE, $FE, $FE, $FE, $FE, $FE, $FE, $FE, $FF, $FF, $FF, $FF
; ADSR sustain level SL (in bits 7-5) for D1L 1-6 (3 dB steps): the DSP's (SL + 1) / 8
; nearest in dB
sustain_level:
    .db 5 << 5, 3 << 5, 2 << 5, 1 << 5, 1 << 5, 0

; load_operators: the four operators of the work record from a chip's operator registers
; at [reg_ptr] + op_first + the operator's slot offset (0, 8, 4, 12 for operators 1-4,
; times 2 when op_step is $20), op_step apart: multiple, TL, key scaling and attack,
; first decay, second decay, sustain level and release. Rates become R with the key
; scaling of key_code (0-31).
load_operators:
    MOV X,#3
.op:
    MOV A,!operator_offset+X      ; the slot offset: operator_offset * op_step / 256
    MOV Y,op_step
    MUL YA
    MOV A,Y
    CLRC
    ADC A,op_first
    MOV Y,A
    MOV A,[reg_ptr]+Y             ; multiple: cycles a period in halves (0 means 1/2)
    AND A,#$0F
    ASL A
    BNE .cycles
    INC A
.cycles:
    MOV w_cyc2+X,A
    TCALL T_NEXT_REGISTER
    AND A,#$7F
    ASL op_keys                   ; an operator that is not keyed is silent
    BCC .keyed
    MOV A,#$7F
.keyed:
    MOV w_tl+X,A
    TCALL T_NEXT_REGISTER            ; key scaling: key code >> (3 - KS)
    MOV ks_add,key_code
    AND A,#$C0
.scale:
    ADC A,#$40                    ; (a carry in only touches the low bits)
    BCS .scaled
    LSR ks_add
    BRA .scale
.scaled:
    MOV A,[reg_ptr]+Y
    TCALL T_RATE_OF
    MOV w_ar+X,A
    TCALL T_NEXT_REGISTER
    TCALL T_RATE_OF
    MOV w_d1r+X,A
    TCALL T_NEXT_REGISTER
    TCALL T_RATE_OF
    MOV w_d2r+X,A
    TCALL T_NEXT_REGISTER
    XCN A
    AND A,#$0F
    MOV w_d1l+X,A
    MOV A,[reg_ptr]+Y             ; release: 4 * RR + 2 (rate_of of 2 * RR + 1), with
    ASL A                         ; the key scaling
    INC A
    TCALL T_RATE_OF
    MOV w_rr+X,A
    DEC X
    BPL .op
    RET

operator_offset:                  ; 0, 8, 4, 12 for op_step $10
    .db 0, $80, $40, $C0

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
.block:
    DEC X
    BMI .rounded
    ASL product+1
    ROL product+2
    ROL product+3
    BRA .block
.rounded:
    MOVW YA,product+2
    MOVW pitch64,YA
    BBC product+1.7,.done
    INCW pitch64
.done:
    RET

; build_signature: sig from the work record, after note_level (carriers, note_tl) and
; note_pitch (pitch64). Uses up carriers and w_wave.
build_signature:
    MOV A,w_fb
    XCN A
    OR A,w_alg
    MOV sig,A
    MOV X,#0
.op:
    MOV A,w_cyc2+X               ; cycles in halves: two periods when one is odd (a
    MOV sig+1+X,A                 ; multiple of 1/2), else halved below
    AND A,#1
    BEQ .even
    SET1 sig.7
.even:
    LSR carriers
    BCC .modulator
    MOV A,w_tl+X                 ; a carrier: against the loudest one
    SETC
    SBC A,note_tl
    BRA .level
.modulator:
    MOV A,w_d1r+X                ; a modulator: its level a moment into the note, as
    CALL note_stage               ; far down its decays as they go
    MOV A,!decay_stage+Y
    MOV tmp,A
    MOV A,w_d1l+X                ; the sustain level in 0.75 dB steps
    ASL A
    ASL A
    CMP A,tmp
    BCS .first_decay
    MOV tmp,A                     ; reached: then half the time of the second decay
    MOV A,w_d2r+X
    CALL note_stage
    MOV A,!decay_stage+Y
    LSR A
    CLRC
    ADC A,tmp
    MOV tmp,A
.first_decay:
    MOV A,w_ar+X                 ; and the attack still to go
    CALL note_stage
    MOV A,#0
    CMP Y,#ATTACK_ROWS
    BCS .attacked
    MOV A,!attack_stage+Y
.attacked:
    CLRC
    ADC A,tmp
    BCS .off
    ADC A,w_tl+X
    BCS .off
.level:
    ASL A                         ; 128 and up: silent
    BCC .wave
.off:
    MOV A,#$FE
.wave:
    LSR w_wave                    ; bit 7: half-sine
    ROR A
    MOV sig+5+X,A
    INC X
    CMP X,#4
    BNE .op
    CMP pitch64+1,#$40            ; a note above the DSP's top pitch for one period
    BCC .period
    SET1 sig.7
.period:
    BBS sig.7,.done
    MOV X,#3
.halve:
    LSR sig+1+X
    DEC X
    BPL .halve
.done:
    RET

; note_stage: A = a rate R; Y = its row in the tables below: R / 2 for a new note (F_KON),
; its modulators 50 ms in; R / 2 + LATE_ROWS, rounded up, for its later waveform, 400 ms in.
note_stage:
    LSR A
    BBS events.1,.new
    ADC A,#LATE_ROWS              ; (R's low bit, in the carry)
.new:
    MOV Y,A
    RET
LATE_ROWS = 6

; By row: the decay in 0.75 dB steps (at most 127) and the attack still to go, 50 ms into
; the note at rate R for row R / 2; each 2 rows further the time doubles (the rate's speed
; doubles every 4). The chip's attack takes a sixteenth of the attenuation off at each
; step, 73 steps in the full attack time of its table: so its curve falls fast at first
; and slowly near the top, and at R 26 only 6 steps are left at 100 ms (row 15).
decay_stage:
    .db 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 2, 3, 4, 6
    .db 9, 12, 17, 24, 35, 49, 70, 97, 127, 127, 127, 127, 127, 127, 127, 127
    .db 127, 127                  ; (rows up to 31 + LATE_ROWS + 1 read on into
attack_stage:                     ; attack_stage's first five, 127 each)
    .db 127, 127, 127, 127, 127, 120, 116, 109, 102, 89, 81, 62, 48, 30, 17, 6
    .db 2, 0
ATTACK_ROWS = 18                  ; (0 from here on)
.assert attack_stage - decay_stage + 5 > 31 + LATE_ROWS + 1, "decay_stage's last rows are past the 127s"
