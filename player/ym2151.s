; ---- YM2151 (OPM): eight 4-operator FM channels on the YM2612's engine.
;
; Register copies $20-$FF at OPM (the top of RAM, below the YM2612's). The operator
; registers have the YM2612's fields, two slots apart (M1, M2, C1, C2 at offsets 0, 8, 16,
; 24: operators 1, 3, 2, 4), and the connection is the YM2612's algorithm. A write marks its
; channel (register & 7): a carrier's TL (C2 in connections 0-3) or the pan the level, the
; key code and fraction the pitch, any other the patch. Register $08 keys a channel while
; any of its operator bits is set.
;
; Pitch: the key code's octave and note (12 of its 16 codes) and the key fraction (1/64 of a
; semitone) index a table of one octave's pitches, scaled at start-up by the clock
; (3579545 Hz when the header says 0) and interpolated between notes.
OPM = OPN0 - $E0                  ; register r at OPM - $20 + r

cmd_ym2151:
    MOV A,[ptr]+Y
    INC Y
    MOV X,A
    MOV A,[ptr]+Y
    INC Y
    BBC chips.1,.skip             ; no room for the copies: not played
    CMP X,#$20
    BCS .store
    CMP X,#$08
    BNE .skip
    MOV tmp,A                     ; $08: bits 6-3 the operators, 2-0 the channel
    AND A,#7
    CLRC
    ADC A,#CH_OPM
    MOV X,A
    MOV A,tmp
    AND A,#$78
    JMP fm_key
.store:
    CMP A,!OPM-$20+X
    BEQ .skip
    MOV !OPM-$20+X,A
    MOV A,X
    AND A,#7
    CLRC
    ADC A,#CH_OPM
    MOV tmp,A
    CMP X,#$40
    BCS .operator
    CMP X,#$28
    BCC .connection
    CMP X,#$38
    BCS .skip                     ; LFO sensitivities: not played
    MOV A,#F_PITCH
    BRA .mark
.connection:
    MOV A,#F_PATCH | F_LEVEL
    BRA .mark
.operator:
    MOV A,X                       ; C2's TL ($78-$7F) in connections 0-3: the level
    AND A,#$F8
    CMP A,#$78
    BNE .patch
    MOV A,X
    AND A,#7
    MOV X,A
    MOV A,!OPM-$20+$20+X
    AND A,#4
    BNE .patch
    MOV A,#F_LEVEL
    BRA .mark
.patch:
    MOV A,#F_PATCH
.mark:
    MOV X,tmp
    CALL fm_mark
.skip:
    JMP next

; load_opm: the work record of YM2151 channel `sub`.
load_opm:
    MOV A,sub                     ; reg_ptr: register $00 of the channel's copies
    CLRC
    ADC A,#lo(OPM - $20)
    MOV reg_ptr,A
    MOV A,#hi(OPM - $20)
    ADC A,#0
    MOV reg_ptr+1,A
    MOV Y,#$20
    MOV A,[reg_ptr]+Y             ; R bit 7, L bit 6, FB 5-3, CON 2-0
    MOV tmp,A
    AND A,#7
    MOV w_alg,A
    MOV A,tmp
    LSR A
    LSR A
    LSR A
    AND A,#7
    MOV w_fb,A
    MOV A,tmp                     ; pan: the YM2612's order (bit 7 left, bit 6 right)
    AND A,#$40
    ASL A
    MOV w_pan,A
    MOV A,tmp
    AND A,#$80
    LSR A
    OR A,w_pan
    MOV w_pan,A
    MOV w_wave,#0
    MOV Y,#$28                    ; key code for the key scaling: octave * 4 + note / 4
    MOV A,[reg_ptr]+Y
    LSR A
    LSR A
    AND A,#$1F
    MOV key_code,A
    MOV op_first,#$40
    MOV op_step,#$20
    JMP load_operators

; pitch_opm: pitch64 of YM2151 channel `sub`: the octave-7 pitch of its note and
; fraction, interpolated, times the clock's ratio (kf_opm / 32768), halved for each octave
; below 7 (one bit kept for rounding).
pitch_opm:
    MOV X,sub
    MOV A,!OPM-$20+$30+X          ; key fraction, bits 7-2
    LSR A
    LSR A
    MOV tmp+1,A
    MOV A,!OPM-$20+$28+X          ; key code: octave, note code (of 0-15, 3 in 4 used)
    MOV tmp,A
    AND A,#$0F                    ; semitone: code - code / 4
    MOV Y,A
    LSR A
    LSR A
    MOV fnum,A
    MOV A,Y
    SETC
    SBC A,fnum
    ASL A
    MOV X,A
    MOV A,!opm_octave7+2+X        ; the next semitone minus this one, times the fraction
    SETC
    SBC A,!opm_octave7+X
    MOV fnum,A
    MOV A,!opm_octave7+3+X
    SBC A,!opm_octave7+1+X
    MOV fnum+1,A
    MOV A,fnum
    MOV Y,tmp+1
    MUL YA
    MOVW product,YA
    MOV A,fnum+1
    MOV Y,tmp+1
    MUL YA
    CLRC
    ADC A,product+1
    MOV product+1,A
    MOV A,Y
    ADC A,#0
    MOV product+2,A
    ASL product                   ; (d * fraction) / 64: the product's bits 21-6
    ROL product+1
    ROL product+2
    ASL product
    ROL product+1
    ROL product+2
    MOV A,!opm_octave7+X
    CLRC
    ADC A,product+1
    MOV fnum,A
    MOV A,!opm_octave7+1+X
    ADC A,product+2
    MOV fnum+1,A
    MOVW YA,kf_opm
    MOVW kf,YA
    MOV A,tmp                     ; octave 7: times the ratio * 2, else the pitch
    LSR A                         ; shifted right by 6 - octave, times the ratio
    LSR A
    LSR A
    LSR A
    AND A,#7
    CMP A,#7
    BNE .lower
    MOV A,#1
    JMP fnum_pitch
.lower:
    EOR A,#7
    DEC A
    BEQ .scaled
    MOV X,A
.shift:
    LSR fnum+1
    ROR fnum
    DEC X
    BNE .shift
.scaled:
    MOV A,#0
    JMP fnum_pitch

; The pitch64 of each semitone of octave 7 (C# to C, then the next C# and D, for code 15
; and the interpolation) at 3579545 Hz: 440 * 2^((28 + s) / 12) * 8.192.
opm_octave7:
    .dw 18165, 19246, 20390, 21602, 22887, 24248, 25690, 27217, 28836, 30551, 32367, 34292
    .dw 36331, 38492
