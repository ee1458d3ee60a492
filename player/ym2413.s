; ---- YM2413 (OPLL): nine 2-operator channels, or six and five drums, on the FM engine.
;
; Register copies $00-$38 at OPLL, in the 64 bytes above $FFC0 (RAM once the boot ROM is
; unmapped; the stream never reaches it). A channel's instrument (1-15 from the chip's ROM,
; 0 the custom one of registers $00-$07) gives a modulator and a carrier: the work record's
; algorithm 8, the modulator's TL, feedback and half-sine bit, each operator's multiple
; (1/2, 1-10, 10, 12, 12, 15, 15), attack, decay, sustain level and release. The volume is
; the carrier's level (3 dB steps). Rates (4 * rate + key scaling) are brought to the
; YM2612's scale (the YM2413's decay runs 2.8 times, its attack 4.8 times as fast: + 6 and
; + 9). A percussive instrument (EG type 0) keeps decaying at its release rate while keyed;
; after the key-off it releases at its release rate (sustained) or rate 7, at rate 5 with
; the channel's SUS bit.
OPLL = $FFC0                      ; register r at OPLL + r

cmd_ym2413:
    MOV A,[ptr]+Y
    INC Y
    MOV X,A
    MOV A,[ptr]+Y
    INC Y
    CMP X,#$39
    BCS .skip
    MOV tmp,A
    CMP X,#$0E
    BEQ .rhythm
    CMP X,#$20
    BCC .store
    CMP X,#$29
    BCS .store
    EOR A,!OPLL+X                 ; $20-$28: the key bit turning
    AND A,#$10
    BEQ .store
    CMP X,#$26                    ; (channels 6-8 are drums in rhythm mode)
    BCC .melody
    BBS rhythm.5,.store
.melody:
    MOV A,tmp
    MOV !OPLL+X,A
    MOV A,X
    SETC
    SBC A,#$20-CH_OPLL
    MOV X,A
    MOV A,tmp
    AND A,#$10
    JMP fm_key_pitch
.store:
    MOV A,tmp
    CMP A,!OPLL+X
    BEQ .skip
    MOV !OPLL+X,A
    CMP X,#$10
    BCC .custom
    MOV A,X                       ; $10-$38: channel register & 15, kind register >> 4
    AND A,#$0F
    CMP A,#9
    BCS .skip
    CLRC
    ADC A,#CH_OPLL
    MOV tmp,A
    MOV A,X
    XCN A
    AND A,#3
    MOV X,A
    MOV A,!opll_marks-1+X
    MOV X,tmp
    CALL fm_mark
.skip:
    JMP next
.custom:
    MOV X,#CH_OPLL+8              ; the custom instrument: every channel that plays it
.channel:
    MOV A,!OPLL+$30-CH_OPLL+X
    AND A,#$F0
    BNE .other
    MOV A,#F_PATCH
    CALL fm_mark
.other:
    DEC X
    CMP X,#CH_OPLL
    BCS .channel
    JMP next

; $0E: rhythm mode (bit 5) and the drums' keys (bit 4 BD, 3 SD, 2 TOM, 1 TCY, 0 HH): each
; key that turns keys its drum; leaving rhythm mode keys them all off.
.rhythm:
    MOV A,tmp
    BBS tmp.5,.drums
    MOV A,#0
.drums:
    EOR A,rhythm
    AND A,#$1F
    MOV tmp+1,A                   ; the keys that turn
    MOV A,tmp
    MOV rhythm,A
    MOV X,#0
.drum:
    LSR tmp+1
    BCC .same_key
    MOV A,!bit_of+X
    AND A,tmp
    PUSH X
    PUSH A
    MOV A,!drum_channel+X
    MOV X,A
    MOV A,#F_PATCH | F_PITCH      ; (a drum's patch and pitch are its own)
    CALL fm_mark
    POP A
    CALL key_change
    POP X
.same_key:
    INC X
    CMP X,#5
    BNE .drum
    JMP next

drum_channel:                     ; HH, TCY, TOM, SD, BD (key bits 0-4)
    .db CH_HH, CH_TCY, CH_OPLL+8, CH_SD, CH_OPLL+6

opll_marks:                       ; $1x, $2x, $3x
    .db F_PITCH, F_PITCH | F_PATCH, F_PATCH | F_LEVEL

; fm_key_pitch: fm_key for a key register that also holds the block and F-number: the
; pitch is marked too.
fm_key_pitch:
    PUSH A
    MOV A,#F_PITCH | F_PATCH
    CALL fm_mark
    POP A
    JMP fm_key

; load_opll: the work record of YM2413 channel `sub`.
load_opll:
    MOV X,sub
    CMP X,#6                      ; in rhythm mode channels 6 and 8 are the bass drum and
    BCC .melodic                  ; the tom, each with its patch and volume
    BBC rhythm.5,.melodic
    CMP X,#7
    BEQ .melodic
    CMP X,#6
    BEQ .bass_drum
    MOV A,!OPLL+$38               ; the tom: ch 8's modulator as a tone (a carrier here)
    XCN A
    MOV Y,#lo(opll_tom)
    BRA .drum
.bass_drum:
    MOV A,!OPLL+$36
    MOV Y,#lo(opll_bd)
.drum:
    MOV reg_ptr,Y
    MOV reg_ptr+1,#hi(opll_bd)
    AND A,#$0F
    BRA .volume
.melodic:
    MOV A,!OPLL+$30+X             ; the instrument's 8 bytes
    XCN A
    AND A,#$0F
    BEQ .custom
    DEC A
    ASL A
    ASL A
    ASL A
    CLRC
    ADC A,#lo(opll_rom)
    MOV reg_ptr,A
    MOV A,#hi(opll_rom)
    ADC A,#0
    MOV reg_ptr+1,A
    BRA .patch
.custom:
    MOV reg_ptr,#lo(OPLL)
    MOV reg_ptr+1,#hi(OPLL)
.patch:
    MOV A,!OPLL+$30+X             ; the volume: the carrier's TL, 4 steps of 0.75 dB each
.volume:
    AND A,#$0F
    ASL A
    ASL A
    MOV !w_tl+1,A
    MOV A,!OPLL+$20+X             ; key scaling base: block * 2 + F-number bit 8
    AND A,#$0F
    MOV key_code,A
    MOV A,!OPLL+$20+X
    MOV opll_sus,A
    MOV w_alg,#8
    MOV w_pan,#$C0
    MOV Y,#3
    MOV A,[reg_ptr]+Y
    AND A,#7
    MOV w_fb,A
    MOV A,[reg_ptr]+Y             ; bit 3 the modulator's half sine, bit 4 the carrier's
    LSR A
    LSR A
    LSR A
    AND A,#3
    MOV w_wave,A
    MOV Y,#2
    MOV A,[reg_ptr]+Y
    AND A,#$3F
    MOV !w_tl,A
    MOV A,#$7F                    ; operators 3 and 4 silent
    MOV !w_tl+2,A
    MOV !w_tl+3,A
    MOV A,#2
    MOV !w_cyc2+2,A
    MOV !w_cyc2+3,A
    MOV X,#1
.op:
    MOV A,X                       ; byte 0/1: EG type (bit 5), KSR (bit 4), multiple
    MOV Y,A
    MOV A,[reg_ptr]+Y
    MOV tmp,A
    AND A,#$0F
    MOV Y,A
    MOV A,!opll_multiple+Y
    MOV !w_cyc2+X,A
    MOV A,key_code                ; key scaling: (block * 2 + F8) >> 2, or all of it with KSR
    BBS tmp.4,.ksr
    LSR A
    LSR A
.ksr:
    MOV ks_add,A
    MOV A,X                       ; byte 4/5: attack, decay
    CLRC
    ADC A,#4
    MOV Y,A
    MOV A,[reg_ptr]+Y
    PUSH A
    XCN A
    AND A,#$0F
    MOV Y,#9
    CALL opll_rate
    MOV !w_ar+X,A
    POP A
    AND A,#$0F
    MOV Y,#6
    CALL opll_rate
    MOV !w_d1r+X,A
    MOV A,X                       ; byte 6/7: sustain level, release
    CLRC
    ADC A,#6
    MOV Y,A
    MOV A,[reg_ptr]+Y
    PUSH A
    XCN A
    AND A,#$0F
    MOV !w_d1l+X,A
    POP A
    AND A,#$0F                    ; release: RR when sustained, else rate 7; rate 5 with SUS
    BBS tmp.5,.sustained
    MOV Y,#6                      ; percussive: its second decay is the release rate
    PUSH A
    CALL opll_rate
    MOV !w_d2r+X,A
    POP A
    MOV A,#7
    BRA .release
.sustained:
    PUSH A
    MOV A,#0
    MOV !w_d2r+X,A
    POP A
.release:
    BBC opll_sus.5,.rr
    MOV A,#5
.rr:
    MOV Y,#6
    CALL opll_rate
    MOV !w_rr+X,A
    DEC X
    BPL .op
    RET

; opll_rate: A = a 4-bit rate, Y = the offset to the YM2612's scale; returns R = 4 * rate +
; ks_add + Y (at most 63), 0 for rate 0.
opll_rate:
    CMP A,#0
    BEQ .done
    ASL A
    ASL A
    CLRC
    ADC A,ks_add
    MOV tmp+1,A
    MOV A,Y
    CLRC
    ADC A,tmp+1
    CMP A,#64
    BCC .done
    MOV A,#63
.done:
    RET

; The multiple (0-15) as cycles a period in halves: 1/2, 1-10, 10, 12, 12, 15, 15.
opll_multiple:
    .db 1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 20, 24, 24, 30, 30

; pitch_opll: pitch64 of YM2413 channel `sub`.
pitch_opll:
    MOV X,sub
    MOV A,!OPLL+$10+X
    MOV fnum,A
    MOV A,!OPLL+$20+X
    MOV tmp,A
    AND A,#1
    MOV fnum+1,A
    MOVW YA,kf_opll
    MOVW kf,YA
    MOV A,tmp
    LSR A
    AND A,#7
    JMP fnum_pitch

; load_noise_drum: the work record of a noise drum (hi-hat, snare, top cymbal): operator 4
; alone with the drum's envelope (percussive) and volume; fm_channel gives it the noise.
load_noise_drum:
    MOV X,sub
    MOV w_alg,#7
    MOV w_pan,#$C0
    MOV A,#$7F
    MOV !w_tl,A
    MOV !w_tl+1,A
    MOV !w_tl+2,A
    MOV A,!drum_volume+X          ; its volume nibble (bit 7: the high one)
    MOV tmp,A
    AND A,#$7F
    MOV Y,A
    MOV A,!OPLL+Y
    BBC tmp.7,.low
    XCN A
.low:
    AND A,#$0F
    ASL A
    ASL A
    MOV !w_tl+3,A
    MOV key_code,#0
    MOV ks_add,#0
    MOV A,!drum_envelope+X        ; attack, decay
    PUSH A
    XCN A
    AND A,#$0F
    MOV Y,#9
    CALL opll_rate
    MOV !w_ar+3,A
    POP A
    AND A,#$0F
    MOV Y,#6
    CALL opll_rate
    MOV !w_d1r+3,A
    MOV A,!drum_release+X         ; sustain level, release; percussive: release rate
    PUSH A                        ; while keyed, rate 7 after
    XCN A
    AND A,#$0F
    MOV !w_d1l+3,A
    POP A
    AND A,#$0F
    MOV Y,#6
    CALL opll_rate
    MOV !w_d2r+3,A
    MOV A,#7
    MOV Y,#6
    CALL opll_rate
    MOV !w_rr+3,A
    RET

; drum_noise: X = the voice of the noise drum `sub`: the white noise at the drum's
; pitch (the square while the noise is still being made).
drum_noise:
    MOVW YA,white_noise
    CMP Y,#0
    BNE .noise
    MOV A,#lo(square)
    MOV Y,#hi(square)
.noise:
    CALL voice_sample
    MOV Y,sub
    MOV A,!drum_pitch_hi+Y
    MOV Y,A
    MOV A,#0
    JMP voice_pitch

; The drums as the chip's ROM has them: HH, SD, TCY.
drum_volume:                      ; their volume register (bit 7: its high nibble)
    .db $B7, $37, $38
drum_envelope:
    .db $C8, $D8, $AA
drum_release:
    .db $A7, $48, $55
drum_pitch_hi:                    ; the noise sample's pitch (high byte): bright, darker
    .db $3F, $10, $30

; The rhythm patches of channels 6 (bass drum) and 8 (the tom, its modulator as the
; carrier: multiple 5, attack 15, decay 8, sustain 5, release 9).
opll_bd:
    .db $01, $01, $18, $0F, $DF, $F8, $6A, $6D
opll_tom:
    .db $01, $05, $3F, $00, $F0, $F8, $00, $59
.assert hi(opll_tom) == hi(opll_bd), "the rhythm patches share a page"

; The YM2413's instruments 1-15 as read off the chip: modulator/carrier flags and
; multiple, modulator key scaling level and TL, carrier key scaling level, waves and
; feedback, attack/decay, sustain level/release.
opll_rom:
    .db $71, $61, $1E, $17, $D0, $78, $00, $17
    .db $13, $41, $1A, $0D, $D8, $F7, $23, $13
    .db $13, $01, $99, $00, $F2, $C4, $11, $23
    .db $31, $61, $0E, $07, $A8, $64, $70, $27
    .db $32, $21, $1E, $06, $E0, $76, $00, $28
    .db $31, $22, $16, $05, $E0, $71, $00, $18
    .db $21, $61, $1D, $07, $82, $81, $10, $07
    .db $23, $21, $2D, $14, $A2, $72, $00, $07
    .db $61, $61, $1B, $06, $64, $65, $10, $17
    .db $41, $61, $0B, $18, $85, $F7, $71, $07
    .db $13, $01, $83, $11, $FA, $E4, $10, $04
    .db $17, $C1, $24, $07, $F8, $F8, $22, $12
    .db $61, $50, $0C, $05, $C2, $F5, $20, $42
    .db $01, $01, $55, $03, $C9, $95, $03, $02
    .db $61, $41, $89, $03, $F1, $E4, $40, $13
