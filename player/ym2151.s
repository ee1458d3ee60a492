; ---- YM2151 (OPM): eight 4-operator FM channels on the YM2612's engine.
;
; Register copies $20-$FF at OPM (the top of RAM, below the YM2612's). The operator
; registers have the YM2612's fields, two slots apart (M1, M2, C1, C2 at offsets 0, 8, 16,
; 24: operators 1, 3, 2, 4), and the connection is the YM2612's algorithm. A write marks its
; channel (register & 7): C2's TL in connections 0-3 (the only carrier) the level, the key
; code, fraction and LFO sensitivities the pitch, any other the patch (which brings the level
; too). Register $08 keys a channel while any of its operator bits is set; the operators
; whose bits are clear stay silent in its note (OPM_KEYS keeps each channel's bits).
;
; Pitch: the key code's octave and note code index a table of octave 7's pitches (each of
; the 4 unused codes sounds as the note after it), the key fraction (1/64 of a semitone)
; raises it by up to a semitone, and the octave scales it; all at 3579545 Hz, times the
; clock's ratio (kf_opm / 32768).
OPM = OPN0 - $E0                  ; register r at OPM - $20 + r
OPM_KEYS = OPM - 8                ; channel c's register $08 bits 6-3 at OPM_KEYS + c
.assert ((OPM - $20) & 7) == 0, "a channel's registers are OPM - $20 + register + channel"
.assert F_PATCH == 8, "cmd_ym2151 makes F_PATCH from the connection's bit 2"

; load_opm: the work record of YM2151 channel `sub`.
load_opm:
    MOV X,sub
    MOV A,X                       ; reg_ptr: register $00 of the channel's copies
    OR A,#lo(OPM - $20)
    MOV Y,#hi(OPM - $20)
    MOVW reg_ptr,YA
    MOV A,!OPM+X                  ; R bit 7, L bit 6, FB 5-3, CON 2-0
    MOV Y,A
    AND A,#7
    MOV w_alg,A
    MOV A,Y
    ASL A                         ; pan: the YM2612's order (bit 7 left, bit 6 right)
    MOV w_pan,A
    MOV1 w_pan.6,C
    XCN A
    AND A,#7
    MOV w_fb,A
    MOV w_wave,#0
    MOV A,!OPM+8+X                ; key code for the key scaling: octave * 4 + note / 4
    LSR A
    LSR A
    AND A,#$1F
    MOV key_code,A
    MOV op_first,#$40
    MOV op_step,#$20
    MOV A,!OPM_KEYS+X             ; bits 6-3: C2, M2, C1, M1, operators 4-1
    ASL A
    EOR A,#$F0
    MOV op_keys,A
    JMP load_operators

; pitch_opm: pitch64 of YM2151 channel `sub`: octave 7's pitch of its note code, raised by
; the key fraction (the pitch times fraction * 61 / 65536, a semitone's 6% at 64), halved
; for each octave below 6 and doubled at 7 (fnum_pitch), times the clock's ratio.
pitch_opm:
    MOV X,sub
    MOV A,!OPM-$20+$30+X          ; key fraction, bits 7-2
    LSR A
    LSR A
    MOV Y,#61
    MUL YA
    MOVW kf,YA
    MOV A,!OPM-$20+$28+X          ; key code: octave, note code
    PUSH A
    AND A,#$0F
    MOV X,A
    MOV A,!opm_octave7_hi+X
    MOV Y,A
    MOV A,!opm_octave7_lo+X
    MOVW fnum,YA
    MOV A,#0
    TCALL T_FNUM_PITCH
    MOVW YA,pitch64
    ADDW YA,fnum
    MOVW fnum,YA
    MOVW YA,kf_opm
    MOVW kf,YA
    POP A
    XCN A
    AND A,#7
    SETC
    SBC A,#6                      ; octaves 6 and 7: fnum_pitch's block 0 or 1
    BCS .scaled
.shift:
    LSR fnum+1
    ROR fnum
    INC A
    BNE .shift
.scaled:
    JMP fnum_pitch

; The pitch64 of each note code of octave 7 at 3579545 Hz: 440 * 2^((28 + s) / 12) * 8.192
; for semitone s = code - code / 4 (C# to C, then the next C# for code 15): low bytes,
; then high bytes (one index for both).
opm_octave7_lo:
    .db lo(18165), lo(19246), lo(20390), lo(21602), lo(21602), lo(22887), lo(24248), lo(25690)
    .db lo(25690), lo(27217), lo(28836), lo(30551), lo(30551), lo(32367), lo(34292), lo(36331)
opm_octave7_hi:
    .db hi(18165), hi(19246), hi(20390), hi(21602), hi(21602), hi(22887), hi(24248), hi(25690)
    .db hi(25690), hi(27217), hi(28836), hi(30551), hi(30551), hi(32367), hi(34292), hi(36331)

; opm_write: X = a register, A = its value (cmd_ym2151, ym2413.s): the copies, the marks.
opm_write:
    BBC chips.1,.skip             ; no room for the copies: not played
    CMP X,#$20
    BCS .store
    CMP X,#$08
    BNE .skip
    PUSH A                        ; $08: bits 6-3 the operators, 2-0 the channel
    AND A,#7
    ADC A,#CH_OPM - 1             ; (carry set by the compare)
    MOV X,A
    POP A
    AND A,#$78
    BEQ .key                      ; (a key-off releases the operators that sounded)
    MOV !OPM_KEYS-CH_OPM+X,A
.key:
    JMP fm_key
.store:
    CMP A,!OPM-$20+X
    BEQ .skip
    MOV !OPM-$20+X,A
    MOV A,#4                      ; (the patch, below)
    CMP X,#$28
    BCC .patch                    ; $20-$27: pan, feedback, connection
    MOV A,#F_PITCH
    CMP X,#$40
    BCC .mark                     ; $28-$3F: key code, fraction (LFO sensitivities: not
    MOV A,X                       ; played, a pitch at most)
    OR A,#7                       ; (bit 2 set: the patch)
    CMP A,#$7F
    BNE .patch
    MOV A,!OPM-$78+X              ; C2's TL: the level alone when C2 is the only carrier
.patch:                           ; (connections 0-3: bit 2 clear)
    AND A,#4
    ASL A                         ; F_PATCH or not (carry clear)
    OR A,#F_LEVEL
.mark:
    PUSH A                        ; (carry clear on both ways here)
    MOV A,X
    AND A,#7
    ADC A,#CH_OPM
    MOV X,A
    POP A
    TCALL T_FM_MARK
.skip:
    JMP next
