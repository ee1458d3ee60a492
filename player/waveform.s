; ---- Waveforms from the operator graph, and their cache.
;
; An FM patch sounds, a moment into its note, close to one fixed periodic waveform: its
; operators are sine oscillators at whole multiples of the note's frequency (or of half of
; it, when an operator's multiple is 1/2), each modulator's output adding to the phase of
; the operators it feeds (a full-level modulator moves it by 4 cycles, every 6 dB less
; halves that), operator 1 also feeding itself (feedback), the carriers summed. One period
; of that sum, computed from the patch's signature, is the voice's looped sample; the
; loudest carrier's envelope shapes it in the DSP (fm.s).
;
; Signature (9 bytes): the algorithm (0-7, 8 for the YM2413's modulator into carrier) in
; bits 3-0, feedback in bits 6-4, bit 7 when the period spans two of the note's (a multiple
; of 1/2); then each operator's cycles per period (1-60); then each operator's level:
; bits 6-0 attenuation in 0.75 dB steps (modulators as they stand a moment into the note,
; carriers against the loudest one; 64 and up is silent), bit 7 half-sine (YM2413).
;
; The cache: slots of 48 bytes in the heap, as many as fit, from slot 1 on; slot 0 is a
; sine in low RAM (synth_tables.s), which a new note plays while its own waveform is being
; made. A slot holds its state (1 ready, 2 to be made), the signature and the 64-sample
; period as 4 BRR blocks. A new patch takes the next slot round the cache that no voice
; plays or waits for. The background makes the waveforms one sample at a time while the
; player waits, so that no note is late.
SLOT_STATE = 0
SLOT_SIG   = 1
SLOT_BRR   = 10
MAX_SLOTS  = 64
S_READY    = 1
S_QUEUED   = 2
.assert v_want == v_slot + 8, "find_slot checks v_slot and v_want in one loop"

; slot_address: A = slot; slot_ptr = its address: slot n at slot_base + n * SLOT_SIZE in
; the heap; slot 0 is the sine's, whose BRR (all that is read of it) lies in low RAM. Keeps
; X, and A when it is 0.
slot_address:
    CMP A,#0
    BNE .heap
    MOV slot_ptr,#lo(sine - SLOT_BRR)
    MOV slot_ptr+1,#hi(sine - SLOT_BRR)
    RET
.heap:
    MOV Y,#SLOT_SIZE
    MUL YA
    ADDW YA,slot_base
    MOVW slot_ptr,YA
    RET

; channel_waveform: the voice gets the waveform of the work record's patch: from the
; cache, or queued to be made (until it is ready, waveform_later).
channel_waveform:
    CALL build_signature
    CALL find_slot
    MOV X,voice
    MOV v_want+X,A
    MOV A,[slot_ptr]+Y            ; (Y = 0: the state)
    AND A,#S_READY
    BEQ waveform_later
    MOV A,v_want+X
play_slot:
    MOV v_slot+X,A
; voice_waveform: X = voice; it plays the waveform of its slot (from its next loop).
voice_waveform:
    MOV A,v_slot+X
    TCALL T_SLOT_ADDRESS
    MOV A,#SLOT_BRR
    MOV Y,#0
    ADDW YA,slot_ptr
    JMP voice_sample
; waveform_later: the voice's waveform is being made: a new note plays the sine meanwhile
; (A = 0), a sounding one keeps the waveform it has.
waveform_later:
    BBS events.1,play_slot
    RET

; find_slot: A = the slot holding `sig` (slot_ptr its address, Y = 0), queued to be made
; when it was not there.
find_slot:
    MOV A,#0
.search:
    MOV slot,A
    TCALL T_SLOT_ADDRESS
    TCALL T_POLL                     ; a long search must not let the timer overflow
    MOV Y,#SLOT_SIG+8             ; the signature, from its end
.compare:
    MOV A,[slot_ptr]+Y
    CMP A,!sig-SLOT_SIG+Y
    BNE .next
    DEC Y
    BNE .compare
    MOV A,slot
    RET
.next:
    MOV A,slot
    INC A
    CMP A,slots_used
    BNE .search
    MOV count,slot_count          ; not there: the next slot round that nobody uses
.victim:
    DEC count
    BEQ .fallback
    MOV A,slot_next
    INC A
    CMP A,slot_count
    BCC .in_range
    MOV A,#1
.in_range:
    MOV slot_next,A
    MOV X,#15                     ; no voice plays it (v_slot) or waits for it (v_want)
.in_use:
    CMP A,v_slot+X
    BEQ .victim
    DEC X
    BPL .in_use
    CMP A,!S_PAGE+s_making        ; nor is it being made
    BEQ .victim
    TCALL T_SLOT_ADDRESS
    MOV Y,#SLOT_SIG+8
.copy:
    MOV A,!sig-SLOT_SIG+Y
    MOV [slot_ptr]+Y,A
    DEC Y
    BNE .copy
    MOV A,#S_QUEUED
    MOV [slot_ptr]+Y,A
    INC queued
    MOV A,slot_next
    CMP A,slots_used              ; the slots in use run up to the highest taken
    BCC .used
    INC A
    MOV slots_used,A
    DEC A
.used:
    RET
.fallback:
    MOV Y,#0                      ; every slot in use: the sine
    MOV A,Y
    JMP slot_address

; background: one step of the work that waits (stream.s): a sample of the waveform being
; made, or the start of the next queued one; with no waveform to make, a block of the
; PSG's white noise while it is not all made (noise.s). Waveforms go first: a note plays
; the stand-in sine until its own is made; the white noise, made once at the start (about
; 120 ms), leaves a song's PSG noise channel silent until then.
background:
    MOV A,!S_PAGE+s_making
    BMI .find                     ; (NOT_MAKING)
    JMP synth_step
.find:
    MOV A,queued
    BEQ .idle
    MOV A,#1                      ; (slot 0, the sine, is never made)
.slot:
    MOV slot,A
    TCALL T_SLOT_ADDRESS
    MOV Y,#SLOT_STATE
    MOV A,[slot_ptr]+Y
    CMP A,#S_QUEUED
    BEQ .start
    MOV A,slot
    INC A
    CMP A,slot_count
    BCC .slot
    MOV queued,#0                 ; (none left after all)
.idle:
    MOV A,noise_blocks
    BEQ .done
    JMP noise_step
.done:
    RET
.start:
    DEC queued
    TCALL T_POLL

; ---- the synthesis runs with the direct page at page 1 (SETP), where its state lives
;
; Units: a sine-table index is 1/256 of a cycle. An operator's output is P / 64, P being
; sine * amplitude (0-65025) with its sign: the low byte of a modulator's output adds to
; the index of the operators it feeds (full level: 1016, 4 cycles); operator 1 also adds
; the mean of its last two outputs times 2^(FB - 8); the carriers, at seven eighths of their
; amplitude, are summed, and the sample is that sum / 4 (one carrier at full level: 223).
;
; BRR: every sample is shifted right by k (rounded) into a nibble, k the smallest that
; keeps the carriers' summed amplitudes, at seven eighths, within 7 * 2^k: so no sample can
; exceed the nibble's range. The range is k + 5 (a nibble of 7 decodes as 7 * 2^(k+4), one
; carrier's sine peaking near 3584); filter 0; the last block loops to the first.

; synth_start: prepares the making of slot `slot` (slot_ptr) from its signature: for each
; operator its phase step, amplitude, inputs and wave; the BRR shift. Returns carry set.
synth_start:
    MOVW YA,slot_ptr
    SETP
    MOVW s_slot,YA
    MOV A,#SLOT_BRR
    MOV Y,#0
    ADDW YA,s_slot
    MOVW s_dst,YA
    MOV A,!slot
    MOV s_making,A
    MOV Y,#SLOT_SIG+8
.copy:
    MOV A,[s_slot]+Y
    MOV !S_PAGE+s_sig-SLOT_SIG+Y,A
    DEC Y
    BNE .copy
    MOV A,Y
    MOV X,#s_zero_end-s_phase
.zero:
    DEC X
    MOV s_phase+X,A
    BNE .zero
    MOV A,s_sig
    AND A,#$0F
    MOV X,A
    MOV A,!alg_carriers+X
    MOV s_car,A
    MOV A,X
    ASL A
    ASL A
    MOV index,A                   ; the algorithm's row of alg_inputs
    MOV X,#3
.op:
    ASL s_step+X                  ; cycles a period: 4 sine-table steps a sample
    ASL s_step+X
    MOV A,s_half+X                ; level: amplitude and half-sine
    AND A,#$7F
    CALL level_amplitude
    MOV s_amp+X,A
    MOV Y,A
    MOV A,!bit_of+X
    AND A,s_car
    BEQ .modulator
    MOV A,Y
    MOV Y,#0
    ADDW YA,acc
    MOVW acc,YA
    MOV A,s_amp+X                 ; a carrier sounds at seven eighths: amplitude
    LSR A                         ; + NOT (amplitude / 8) + 1
    LSR A
    LSR A
    EOR A,#$FF
    SETC
    ADC A,s_amp+X
    MOV s_amp+X,A
.modulator:
    MOV A,X
    CLRC
    ADC A,index
    MOV Y,A
    MOV A,!alg_inputs+Y
    MOV s_in+X,A
    DEC X
    BPL .op
    MOV A,s_sig                   ; feedback: operator 1's input 4, shifted by 9 - FB;
    XCN A                         ; without feedback, by 1, as nothing reads it then
    AND A,#7
    BEQ .fb_shift
    SET1 s_in.3
    EOR A,#7
    INC A
.fb_shift:
    INC A
    MOV s_fbshift,A
    LSR acc+1                     ; k: the bit length of the sum / 8, so k + 1 that of
    ROR acc                       ; the sum / 4 (at least 63: one carrier is at 0 dB)
    LSR acc+1
    ROR acc
    MOV A,acc
    MOV X,#0
.length:
    INC X
    LSR A
    BNE .length
    MOV k_shift,X                 ; k + 1: the shift before the rounding
    MOV A,X
    ADC A,#3                      ; (carry set by the last shift)
    XCN A
    MOV header,A                  ; range k + 5, filter 0
    CLRP
    SETC
    RET

; synth_step: the next sample of the waveform being made, into its BRR. Returns carry set.
synth_step:
    SETP
    MOV A,s_count
    AND A,#15
    BNE .sample
    MOV A,header                  ; a block starts: its header, the last one loop + end
    CMP s_count,#48
    BCC .block
    OR A,#3
.block:
    MOV Y,#0
    MOV [s_dst]+Y,A
    INCW s_dst
.sample:
    MOV A,#0
    MOV Y,A
    MOVW acc,YA
    MOV X,A
    MOV s_cars,s_car
.op:
    MOV A,s_in+X                  ; index: phase + the outputs of the operator's inputs
    MOV inputs,A
    MOV A,s_phase+X
    MOV Y,#0
.input:
    LSR inputs
    BCC .other
    CLRC
    ADC A,!S_PAGE+s_m+Y
.other:
    INC Y
    CMP Y,#4
    BNE .input
    MOV index,A
    MOV A,s_phase+X               ; the phase moves on
    CLRC
    ADC A,s_step+X
    MOV s_phase+X,A
    MOV A,s_amp+X                 ; a half sine is silent in its negative half
    BBC index.7,.amplitude
    MOV Y,s_half+X
    BPL .amplitude
    MOV A,#0
.amplitude:
    MOV carried,A
    MOV A,index                   ; the quarter-wave table, mirrored
    BBC index.6,.rising
    EOR A,#$7F
.rising:
    AND A,#$3F
    LSR A
    MOV Y,A
    MOV A,!quarter_sine+Y
    MOV Y,carried
    MUL YA
    MOVW value,YA                 ; P / 64, with the sign of the index's top bit
    MOV A,#0
    ASL value
    ROL value+1
    ROL A
    ASL value
    ROL value+1
    ROL A
    MOV Y,A
    MOV A,value+1
    BBC index.7,.output
    MOVW value,YA
    MOV A,#0
    MOV Y,A
    SUBW YA,value
.output:
    MOV s_m+X,A
    MOVW value,YA
    LSR s_cars
    BCC .modulator
    ADDW YA,acc
    MOVW acc,YA
.modulator:
    MOV A,X
    BNE .next
    MOVW YA,s_h1                  ; operator 1's last two outputs
    MOVW s_h2,YA
    MOVW YA,value
    MOVW s_h1,YA
.next:
    INC X
    CMP X,#4
    BNE .op
    MOVW YA,s_h1                  ; operator 1's feedback for the next sample, as its
    ADDW YA,s_h2                  ; input 4 (operator 4 feeds nothing); its low byte is
    MOVW value,YA                 ; all that counts, and for shifts up to 8 (FB 1-7)
    MOV Y,s_fbshift               ; the sign bits shifted in do not reach it
.feedback:
    LSR value+1
    ROR value
    DBNZ Y,.feedback
    MOV s_m+3,value
    MOV X,k_shift                 ; the sample * 4 / 2^(k + 2), rounded: the nibble is
.shift:                           ; the low 4 bits (those of the arithmetic shift)
    LSR acc+1
    ROR acc
    DEC X
    BNE .shift
    MOV A,acc
    INC A
    LSR A
    AND A,#$0F
    BBS s_count.0,.low            ; (X = 0)
    XCN A
    MOV [s_dst+X],A
    BRA .advance
.low:
    OR A,[s_dst+X]
    MOV [s_dst+X],A
    INCW s_dst
.advance:
    INC s_count
    BBC s_count.6,.done
    MOV Y,#SLOT_STATE             ; the waveform is made
    MOV A,#S_READY
    MOV [s_slot]+Y,A
    MOV A,s_making
    MOV s_making,#NOT_MAKING
    CLRP
    MOV slot,A
    BRA waveform_ready
.done:
    CLRP
    SETC
    RET

; level_amplitude: A = attenuation in 0.75 dB steps (0-127); returns
; 254 * 10^(-0.75 A / 20), 0 from 64 (48 dB) on (shifted out). Keeps X.
level_amplitude:
    MOV Y,A
    AND A,#7
    PUSH X
    MOV X,A
    MOV A,Y
    LSR A
    LSR A
    LSR A
    MOV Y,A
    MOV A,!amplitude_fine+X
    POP X
    CMP Y,#0
    BEQ .done
.shift:
    LSR A
    DBNZ Y,.shift
.done:
    RET

amplitude_fine:                   ; (254 at the top: half of it rounds to 127)
    .db 254, 234, 215, 197, 181, 166, 152, 139

; Operators 1-4 feed: for each algorithm, each operator's inputs (bit j: operator j + 1),
; and the carriers (bit k: operator k + 1). Algorithm 8 is the YM2413's modulator into
; carrier.
alg_inputs:
    .db 0, 1, 2, 4                ; 0: 1 -> 2 -> 3 -> 4
    .db 0, 0, 3, 4                ; 1: (1 + 2) -> 3 -> 4
    .db 0, 0, 2, 5                ; 2: (1 + (2 -> 3)) -> 4
    .db 0, 1, 0, 6                ; 3: ((1 -> 2) + 3) -> 4
    .db 0, 1, 0, 4                ; 4: (1 -> 2) + (3 -> 4)
    .db 0, 1, 1, 1                ; 5: 1 -> 2, 1 -> 3, 1 -> 4
    .db 0, 1, 0, 0                ; 6: (1 -> 2) + 3 + 4
    .db 0, 0, 0, 0                ; 7: 1 + 2 + 3 + 4
    .db 0, 1, 0, 0                ; 8: 1 -> 2
alg_carriers:
    .db $08, $08, $08, $08, $0A, $0E, $0E, $0F, $02

; waveform_ready: slot `slot` is made: the voices waiting for it play it from their next
; loop, at the pitch it needs. Returns carry set.
waveform_ready:
    MOV X,#7
.voice:
    MOV A,v_want+X
    CMP A,slot
    BNE .next
    CMP A,v_slot+X
    BEQ .next
    MOV v_slot+X,A
    CALL voice_waveform
    MOV voice,X
    MOV A,v_owner+X
    MOV channel,A
    CALL channel_pitch            ; (it leaves X = voice)
.next:
    DEC X
    BPL .voice
    SETC
    RET
