; ---- YM2413 (OPLL): nine 2-operator channels, or six and five drums, on the FM engine.
;
; Register copies $00-$38 at OPLL, just above the YM2612's (kept when the stream leaves
; them free, with the YM2612's: init.s). A channel's instrument (1-15 from the chip's
; ROM, 0 the custom one of registers $00-$07, read when the channel's key, block or
; instrument register is written: a change of it alone leaves sounding notes as they are)
; gives a modulator and a carrier: the work record's algorithm 8, the modulator's TL,
; feedback and half-sine bit, each operator's multiple (1/2, 1-10, 10, 12, 12, 15, 15),
; attack, decay, sustain level and release. The volume is the carrier's level (3 dB
; steps). Rates (4 * rate + key scaling) are brought to the YM2612's scale, by the chips'
; timing tables: the YM2413's decay runs 2.8 times as fast (+ 6), its attack 4.8 times as
; fast (+ 9). A percussive instrument (EG type 0) keeps decaying at its release rate while
; keyed; after the key-off it releases at its release rate (sustained) or rate 7, at rate
; 5 with the channel's SUS bit.
;
; Rhythm mode: channels 6-8 are drum channels, each keyed by its bit of $0E (rhythm.s): 6
; the bass drum, 7 the snare's tone and 8 the tom (tones at their channel's F-number), and
; the hi-hat, snare and top cymbal noise channels of their own (fm.s). Each drum plays the
; carrier of its row after the ROM's instruments, at the volume of its nibble of $36-$38.
OPLL = OPN1 + $88                 ; register r at OPLL + r
.assert OPLL + $39 <= BOOT_ROM, "the YM2413's copies run past the stream's limit"
CH_BD = CH_OPLL + 6               ; the first drum channel
.assert CH_HH == CH_OPLL + 9, "the drum tables run from channel 6 to the noise drums"
.assert CH_TCY == CH_HH + 2, "the drum tables run from channel 6 to the noise drums"

; cmd_ym2413 and cmd_ym2151 ($51 / $54 rr dd): X = the register, A = the value, for the chip
; that the command's bit 2 names (the YM2151's in opm_write, ym2151.s, which lies out of a
; branch's reach: opm_jump).
opm_jump:
    JMP opm_write
cmd_ym2151:
cmd_ym2413:
    MOV A,[ptr]+Y
    INC Y
    MOV X,A
    MOV A,[ptr]+Y
    INC Y
    BBS cmd.2,opm_jump
    BBC chips.0,.skip             ; no room for the copies: not played
    CMP X,#$0E
    BEQ .rhythm
    CMP X,#$39
    BCS .skip
    CMP A,!OPLL+X
    BEQ .skip
    MOV !OPLL+X,A
    MOV A,X                       ; $10-$38: channel register & 15 ($00-$07, the custom
    AND A,#$0F                    ; instrument, mark a pitch only: harmless)
    CMP A,#9
    BCS .skip
    ADC A,#CH_OPLL                ; (carry clear)
    PUSH A
    MOV A,#F_PITCH                ; $10-$18: F-number
    CMP X,#$20
    BCC .mark
    MOV A,#F_PITCH | F_PATCH      ; $20-$28: SUS, key, block, F-number bit 8; $30-$38:
.mark:                            ; instrument and volume (carry set)
    POP X
    TCALL T_FM_MARK                  ; (keeps the carry)
    BCC .skip
    CMP X,#CH_BD                  ; the key bit ($3x: unchanged, and key_change acts on a
    BCC .key                      ; change only), but not in rhythm mode on channels 6-8:
    BBS rhythm.5,.skip            ; drums there
.key:
    MOV A,!OPLL+$20-CH_OPLL+X
    AND A,#$10
    JMP fm_key

; $0E: rhythm mode (bit 5) and the drums' keys (bit 4 BD, 3 SD, 2 TOM, 1 TCY, 0 HH). Each
; drum channel takes its key, none once rhythm mode ends; melodic mode that goes on keys
; nothing (only bit 5 of `rhythm` is read).
.rhythm:
    MOV tmp,A
    BBS tmp.5,.keys
    BBC rhythm.5,.skip
    MOV tmp,#0
.keys:
    MOV rhythm,A
    MOV X,#CH_TCY
.drum:
    MOV A,!drum_key-CH_BD+X
    AND A,tmp
    TCALL T_KEY_CHANGE
    DEC X
    CMP X,#CH_BD
    BCS .drum
.skip:
    JMP next

; load_noise_drum: the work record of noise drum `channel` (hi-hat, snare, top cymbal),
; without key scaling or SUS; fm_channel gives it the noise.
load_noise_drum:
    MOV X,channel
    MOV opll_sus,#0
; opll_drum: the work record of drum channel X (opll_sus set): its row, its volume.
opll_drum:
    MOV A,!drum_volume-CH_BD+X
    LSR A
    MOV Y,A
    MOV A,!OPLL+Y
    BCC .low
    XCN A
.low:
    PUSH A
    MOV A,!drum_row-CH_BD+X
    CLRC
    BRA opll_row

; load_opll: the work record of YM2413 channel `channel`.
load_opll:
    MOV X,channel
    MOV A,!OPLL+$20-CH_OPLL+X
    MOV opll_sus,A
    BBC rhythm.5,opll_melodic
    CMP X,#CH_BD
    BCS opll_drum
; opll_melodic: the work record of melodic channel X (opll_sus set): its instrument, its
; volume.
opll_melodic:
    MOV A,!OPLL+$30-CH_OPLL+X
    PUSH A
    AND A,#$F0
    BNE .rom
    MOV A,#lo(OPLL + 1)           ; 0: the custom instrument
    MOV Y,#hi(OPLL + 1)
    BRA opll_patch
.rom:
    LSR A
; opll_row: A = 8 * (row + 1) (carry clear): reg_ptr = the row's carrier bytes.
opll_row:
    ADC A,#lo(opll_rom - 7)
    MOV Y,#hi(opll_rom - 7)
    BCC opll_patch
    INC Y
; opll_patch: YA = an instrument's carrier bytes (the modulator's one before), the volume
; on the stack: the work record.
opll_patch:
    MOVW reg_ptr,YA
    POP A                         ; the volume: the carrier's TL, 4 steps of 0.75 dB each
    AND A,#$0F
    ASL A
    ASL A
    MOV w_tl+1,A
    MOV w_alg,#8
    MOV w_pan,#$C0
    MOV X,#1
.op:
    MOV Y,#0                      ; byte 0/1: EG type (bit 5), KSR (bit 4), multiple
    MOV A,[reg_ptr]+Y
    MOV tmp,A
    AND A,#$0F                    ; the multiple as cycles a period in halves: 1/2, 1-10,
    ASL A                         ; then 10, 12, 12, 15, 15
    BNE .whole
    INC A
.whole:
    CMP A,#22
    BCC .cycles
    AND A,#$FC
    CMP A,#28
    BCC .cycles
    MOV A,#30
.cycles:
    MOV w_cyc2+X,A
    MOV w_cyc2+2+X,A             ; (operators 3 and 4: silent)
    MOV A,#$7F
    MOV w_tl+2+X,A
    MOV A,opll_sus                ; key scaling: block * 2 + F8, or that / 4 without KSR
    AND A,#$0F
    BBS tmp.4,.ksr
    LSR A
    LSR A
.ksr:
    MOV ks_add,A
    MOV Y,#4                      ; byte 4/5: attack, decay
    MOV A,[reg_ptr]+Y
    CALL opll_attack
    MOV w_ar+X,A
    MOV A,[reg_ptr]+Y
    TCALL T_OPLL_DECAY
    MOV w_d1r+X,A
    MOV Y,#6                      ; byte 6/7: sustain level, release
    MOV A,[reg_ptr]+Y
    XCN A
    AND A,#$0F
    MOV w_d1l+X,A
    MOV A,[reg_ptr]+Y
    MOV Y,#7                      ; percussive: decays at RR while keyed, released at 7
    BBC tmp.5,.second
    MOV Y,A                       ; sustained: held while keyed, released at RR
    MOV A,#0
.second:
    TCALL T_OPLL_DECAY
    MOV w_d2r+X,A
    MOV A,Y
    BBC opll_sus.5,.rr            ; SUS: released at rate 5
    MOV A,#5
.rr:
    TCALL T_OPLL_DECAY
    MOV w_rr+X,A
    DECW reg_ptr
    DEC X
    BPL .op
    MOV Y,#3                      ; (reg_ptr: one before the modulator's) byte 2: its TL
    MOV A,[reg_ptr]+Y
    AND A,#$3F
    MOV w_tl,A
    INC Y                         ; byte 3: half sine (bit 4 carrier, 3 modulator; bits 7-5
    MOV A,[reg_ptr]+Y             ; land on operators 3 and 4, silent, and past), feedback
    AND A,#7
    MOV w_fb,A
    MOV A,[reg_ptr]+Y
    LSR A
    LSR A
    LSR A
    MOV w_wave,A
    RET

; opll_decay: A = a register with a 4-bit rate in bits 3-0; returns the rate on the
; YM2612's scale: R = 4 * rate + 6 + the key scaling (at most 63), 0 for rate 0; the
; YM2413's decays run as fast as the YM2612's 6 higher. opll_attack: the same for bits 7-4,
; where the YM2413 is as fast as the YM2612 9 higher. Both keep X and Y.
opll_attack:
    XCN A
    AND A,#$0F
    BEQ opll_rate_done
    ASL A
    ASL A
    ADC A,#9 - 6                  ; (carry clear)
    BRA opll_decay_scaled
opll_decay:
    AND A,#$0F
    BEQ opll_rate_done
    ASL A
    ASL A
opll_decay_scaled:
    ADC A,#6                      ; (carry clear)
    JMP scaled_rate
opll_rate_done:
    RET

; pitch_opll: pitch64 of YM2413 channel `sub`.
pitch_opll:
    MOVW YA,kf_opll
    MOVW kf,YA
    MOV X,sub
    MOV A,!OPLL+$10+X             ; F-number bits 7-0
    MOV fnum,A
    MOV A,!OPLL+$20+X             ; bit 0 the F-number's bit 8, bits 3-1 the block
    LSR A
    MOV fnum+1,#0
    ROL fnum+1
    AND A,#7
    JMP fnum_pitch

; drum_noise: X = the voice of the noise drum `sub`: the white noise at the drum's
; pitch (the periodic noise while the white noise is still being made).
drum_noise:
    MOVW YA,white_noise
    BNE .noise
    MOVW YA,pulse_noise
.noise:
    TCALL T_VOICE_SAMPLE
    MOV Y,sub
    MOV A,!drum_pitch_hi+Y
    MOV Y,A
    MOV A,#0
    JMP voice_pitch

; The drum channels' rows (rhythm.s has their keys and volumes): where their carrier's
; bytes start in the drums' rows (opll_row's A: 8 * 15 + 7 + the offset from the first
; drum row).
drum_row:
    .db 8 * 15 + 7 + 1, 8 * 15 + 7 + 23, 8 * 15 + 7 + 16, 8 * 15 + 7 + 8, 8 * 15 + 7 + 9
    .db 8 * 15 + 7 + 15

; The YM2413's instruments 1-15 as read off the chip: modulator/carrier flags and
; multiple, modulator key scaling level and TL, carrier key scaling level, waves and
; feedback, attack/decay, sustain level/release. Then the drums' rows, each read from the
; byte drum_row names as a carrier (its modulator from the byte before, its modulator's
; TL one after, its waves and feedback two after): the bass drum's row as the ROM has it
; (from byte 1); the ROM's channel 7 row, from byte 0 the hi-hat, from byte 1 the snare;
; the tom's bytes after it (multiple 5, attack 15, decay 8, sustain 5, release 9; its
; modulator's TL 63: silent), its free bytes the top cymbal's, read from the channel 7
; row's byte 7 (percussive, attack 10, decay 10, sustain 5, release 5); last the snare's
; tone, read from the byte after the tom's (multiple 2, its modulator silent, the snare's
; attack 13, decay 8, sustain 4, release 8).
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
    .db $01, $01, $18, $0F, $DF, $F8, $6A, $6D
    .db $01, $01, $00, $00, $C8, $D8, $A7, $48
    .db $05, $3F, $00, $AA, $F8, $55, $59
    .db $02, $3F, $00, $00, $D8, $00, $48
