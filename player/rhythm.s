; ---- The YM2413's rhythm section: the register $0E key bit that each drum channel answers
; to, and the volume nibble it takes (ym2413.s has their rows).
;
; The drum channels: the bass drum (channel 6), the snare's tone (channel 7), the tom
; (channel 8), then the noise drums: hi-hat, snare, top cymbal. The snare sounds on two
; voices, a tone at twice channel 7's frequency and the noise: on the chip it is half of a
; square wave at that frequency, switched on and off by the noise generator.
drum_key:
    .db $10, $08, $04, $01, $08, $02
drum_volume:                      ; register * 2, + 1 for the high nibble
    .db $36 * 2, $37 * 2, $38 * 2 + 1, $37 * 2 + 1, $37 * 2, $38 * 2
drum_pitch_hi:                    ; hi-hat, snare, top cymbal: the noise's pitch (high byte)
    .db $3F, $10, $30
