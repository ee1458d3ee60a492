; ---- The SN76489's levels (psg.s), placed apart from its code where there is room.
;
; Levels for attenuation 0-15: each step 2 dB down (10^(-v/10) of step 0), 15 silent.
; VOL * GAIN pairs found by search; all within 0.03 dB of the ideal level, so the quiet
; end is as exact as the loud one. They serve every PSG sample: the pulse's amplitude
; (noise.s) sets it against the tones as on the PSG. A VOL of 0 marks a silent row.
vol_row:
    .db 127, 105, 87, 77, 51, 44, 33, 28, 36, 16, 16, 12, 10, 7, 6, 0
gain_row:
    .db 127, 122, 117, 105, 126, 116, 123, 115, 71, 127, 101, 107, 102, 116, 107, 0
