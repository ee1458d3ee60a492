; ---- The waveform synthesis's (waveform.s) quarter-wave table and its stand-in sine, in
; page 2, where there is room.

; sin((i + 0.5) * pi / 64) * 255, a quarter of the wave
quarter_sine:
    .db 6, 19, 31, 44, 56, 68, 80, 92, 103, 115, 126, 136, 147, 157, 167, 176
    .db 185, 193, 201, 208, 215, 222, 228, 233, 238, 242, 246, 249, 251, 253, 254, 255

; The waveform cache's slot 0 (waveform.s): a sine, as the synthesis makes it for one
; carrier alone (4 BRR blocks, 64 samples, one period). The slot's state and signature are
; the 10 bytes before it, the end of quarter_sine: their algorithm nibble, 9, is no patch's.
sine:
    .db $A0, $01, $12, $33, $44, $55, $66, $67, $77, $A0, $77, $77, $66, $65, $54, $43
    .db $32, $11, $A0, $0F, $FE, $DD, $CC, $BB, $AA, $A9, $99, $A3, $99, $99, $AA, $AB
    .db $BC, $CD, $DE, $FF
.assert sine - quarter_sine == 32, "slot 0's signature is quarter_sine's end"
