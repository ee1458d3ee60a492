; ---- The waveform synthesis's (waveform.s) tables that live in page 2, where there is room.

; For each algorithm (0-8, as alg_inputs), its carriers (bit k: operator k + 1).
alg_carriers:
    .db $08, $08, $08, $08, $0A, $0E, $0E, $0F, $02

; sin((i + 0.5) * pi / 64) * 255, a quarter of the wave
quarter_sine:
    .db 6, 19, 31, 44, 56, 68, 80, 92, 103, 115, 126, 136, 147, 157, 167, 176
    .db 185, 193, 201, 208, 215, 222, 228, 233, 238, 242, 246, 249, 251, 253, 254, 255
; The waveform cache's slot 0 (waveform.s): a sine of a 32-sample period, 2 BRR blocks of
; 7 * sin(2 pi (i + 0.5) / 32) rounded, at the synthesis's shift for one carrier (range 10,
; peaks near 3584). The slot's state and signature are the 10 bytes before it, the end of
; quarter_sine: their algorithm nibble, 9, is no patch's.
sine:
    .db $A0, $12, $34, $56, $77, $77, $65, $43, $21
    .db $A3, $FE, $DC, $BA, $99, $99, $AB, $CD, $EF
.assert sine - quarter_sine == 32, "slot 0's signature is quarter_sine's end"
