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
; The cache: slots of 48 bytes, one in low RAM (slot 0, a sine, which any note plays while
; its own waveform is being made) and as many as fit in the heap. A slot holds its state
; (0 empty, 1 ready, 2 to be made; bit 7 when the waveform spans two periods), the
; signature, the 64-sample period as 4 BRR blocks and a hash of the signature (the sum of
; its bytes) that the search compares first. A new patch takes the next slot round the
; cache that no voice plays or waits for. The background makes the waveforms one sample at
; a time while the player waits, so that no note is late.
SLOT_STATE = 0
SLOT_SIG   = 1
SLOT_BRR   = 10
SLOT_HASH  = 46
MAX_SLOTS  = 64
S_READY    = 1
S_QUEUED   = 2

; slot_address: A = slot; slot_ptr = its address (slot 0 in low RAM, slot n at
; slot_base + n * SLOT_SIZE in the heap). Keeps X.
slot_address:
    CMP A,#0
    BNE .heap
    MOV slot_ptr,#lo(SLOT0)
    MOV slot_ptr+1,#hi(SLOT0)
    RET
.heap:
    MOV Y,#SLOT_SIZE
    MUL YA
    ADDW YA,slot_base
    MOVW slot_ptr,YA
    RET

; channel_waveform: the voice gets the waveform of the work record's patch: from the
; cache, or queued to be made (the voice then plays the sine until it is ready).
channel_waveform:
    CALL build_signature
    CALL find_slot
    MOV X,voice
    MOV v_want+X,A
    CALL slot_address
    MOV Y,#SLOT_STATE
    MOV A,[slot_ptr]+Y
    AND A,#S_READY
    BEQ .play                     ; (A = 0: the sine meanwhile)
    MOV A,v_want+X
.play:
    MOV v_slot+X,A
; voice_waveform: X = voice; it plays the waveform of its slot (from its next loop).
voice_waveform:
    MOV A,v_slot+X
    CALL slot_address
    MOV A,#SLOT_BRR
    MOV Y,#0
    ADDW YA,slot_ptr
    JMP voice_sample

; find_slot: A = the slot holding `sig`, queued to be made when it was not there.
find_slot:
    MOV A,#0                      ; the signature's hash: the sum of its bytes
    MOV X,#8
.hash:
    CLRC
    ADC A,sig+X
    DEC X
    BPL .hash
    MOV sig_hash,A
    MOV slot,#0
.search:
    MOV A,slot
    AND A,#15                     ; a long search must not let the timer overflow
    BNE .address
    CALL poll
.address:
    MOV A,slot
    CALL slot_address
    MOV Y,#SLOT_HASH
    MOV A,[slot_ptr]+Y
    CMP A,sig_hash
    BNE .next
    MOV Y,#SLOT_STATE
    MOV A,[slot_ptr]+Y
    BEQ .next
.compare:
    INC Y
    MOV A,[slot_ptr]+Y
    CMP A,!sig-SLOT_SIG+Y
    BNE .next
    CMP Y,#SLOT_SIG+8
    BNE .compare
    MOV A,slot
    RET
.next:
    INC slot
    MOV A,slot
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
    MOV X,#7
.in_use:
    CMP A,v_want+X
    BEQ .victim
    CMP A,v_slot+X
    BEQ .victim
    DEC X
    BPL .in_use
    CMP A,!S_PAGE+s_making        ; nor the one being made
    BEQ .victim
    CALL slot_address
    MOV Y,#SLOT_HASH
    MOV A,sig_hash
    MOV [slot_ptr]+Y,A
    MOV Y,#SLOT_SIG+8
.copy:
    MOV A,!sig-SLOT_SIG+Y
    MOV [slot_ptr]+Y,A
    DEC Y
    BNE .copy
    MOV A,sig                     ; state: queued, and the two-period bit
    AND A,#$80
    OR A,#S_QUEUED
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
    MOV A,#0                      ; every slot in use: the sine
    RET

; background_waveform: a sample of the waveform being made, or the start of the next
; queued one. Returns carry clear when there was nothing to do.
background_waveform:
    MOV A,!S_PAGE+s_making
    CMP A,#NOT_MAKING
    BEQ .find
    JMP synth_step
.find:
    MOV A,queued
    BEQ .idle
    MOV A,#0
.slot:
    MOV slot,A
    CALL slot_address
    MOV Y,#SLOT_STATE
    MOV A,[slot_ptr]+Y
    AND A,#S_QUEUED
    BNE .start
    MOV A,slot
    INC A
    CMP A,slot_count
    BCC .slot
    MOV queued,#0                 ; (none left after all)
.idle:
    CLRC
    RET
.start:
    DEC queued
    CALL poll

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
    MOV Y,#SLOT_SIG
    MOV A,[s_slot]+Y
    MOV X,A
    XCN A                         ; the feedback: a shift of 9 - FB
    AND A,#7
    MOV inputs,A
    MOV A,#9
    SETC
    SBC A,inputs
    MOV s_fbshift,A
    MOV A,X
    AND A,#$0F
    MOV X,A
    MOV A,!alg_carriers+X
    MOV s_car,A
    MOV A,X
    ASL A
    ASL A
    MOV index,A                   ; the algorithm's row of alg_inputs
    MOV A,#0
    MOV Y,A
    MOVW acc,YA                   ; the carriers' amplitudes summed
    MOVW s_h1,YA
    MOVW s_h2,YA
    MOV s_count,A
    MOV X,#3
.op:
    MOV A,#0
    MOV s_phase+X,A
    MOV s_m+X,A
    MOV A,X
    CLRC
    ADC A,#SLOT_SIG+1
    MOV Y,A
    MOV A,[s_slot]+Y              ; cycles a period: 4 sine-table steps a sample
    ASL A
    ASL A
    MOV s_step+X,A
    MOV A,Y
    CLRC
    ADC A,#4
    MOV Y,A
    MOV A,[s_slot]+Y              ; level: amplitude and half-sine
    MOV s_half+X,A
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
    MOV A,s_amp+X                 ; a carrier sounds at seven eighths
    LSR A
    LSR A
    LSR A
    MOV carried,A
    MOV A,s_amp+X
    SETC
    SBC A,carried
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
    MOV A,inputs                  ; feedback: operator 1's input 4
    BEQ .shift
    SET1 s_in.3
.shift:
    MOV X,#3                      ; k: the bit length of the sum / 8
.eighth:
    LSR acc+1
    ROR acc
    DEC X
    BNE .eighth
    MOV A,acc
.length:
    BEQ .header
    INC X
    LSR A
    BRA .length
.header:
    MOV A,X
    INC A
    MOV k_shift,A                 ; k + 1: the shift before the rounding
    CLRC
    ADC A,#4
    XCN A
    MOV header,A                  ; range k + 5, filter 0
    CLRP
    SETC
    RET

; synth_step: the next sample of the waveform being made, into its BRR. Returns carry set.
synth_step:
    SETP
    MOV A,#0
    MOV Y,A
    MOVW acc,YA
    MOV X,A
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
    MOV A,s_amp+X                 ; a half sine is silent in its negative half
    BBC index.7,.amplitude
    MOV Y,s_half+X
    BPL .amplitude
    MOV A,#0
.amplitude:
    MOV carried,A
    MOV A,index                   ; the quarter-wave table, mirrored
    AND A,#$7F
    CMP A,#$40
    BCC .rising
    EOR A,#$7F
.rising:
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
    MOV A,!bit_of+X
    AND A,s_car
    BEQ .modulator
    MOVW YA,value
    ADDW YA,acc
    MOVW acc,YA
.modulator:
    CMP X,#0
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
    ADDW YA,s_h2                  ; input 4 (operator 4 feeds nothing)
    MOVW value,YA
    MOV Y,s_fbshift
.feedback:
    MOV A,value+1                 ; arithmetic shift right
    ASL A
    ROR value+1
    ROR value
    DBNZ Y,.feedback
    MOV s_m+3,value
    MOVW YA,acc                   ; the sample * 4: the sum
    MOVW value,YA
    MOV X,k_shift                 ; / 2^(k + 2), rounded: the nibble is the low 4 bits
.shift:                           ; (those of the arithmetic shift)
    LSR value+1
    ROR value
    DEC X
    BNE .shift
    MOV A,value
    INC A
    LSR A
    AND A,#$0F
    MOV value,A
    MOV Y,#0
    MOV A,s_count
    AND A,#15
    BNE .body
    MOV A,header                  ; a block starts: its header, the last one loop + end
    CMP s_count,#48
    BCC .block
    OR A,#3
.block:
    MOV [s_dst]+Y,A
    INCW s_dst
.body:
    MOV A,value
    BBS s_count.0,.low
    XCN A
    MOV high,A
    BRA .advance
.low:
    OR A,high
    MOV [s_dst]+Y,A
    INCW s_dst
.advance:
    MOV X,#3
.phase:
    MOV A,s_phase+X
    CLRC
    ADC A,s_step+X
    MOV s_phase+X,A
    DEC X
    BPL .phase
    INC s_count
    CMP s_count,#64
    BNE .done
    MOV Y,#SLOT_STATE             ; the waveform is made
    MOV A,[s_slot]+Y
    AND A,#$80
    OR A,#S_READY
    MOV [s_slot]+Y,A
    MOV A,s_making
    MOV s_making,#NOT_MAKING
    CLRP
    MOV slot,A
    CALL waveform_ready
    SETP
.done:
    CLRP
    SETC
    RET

; level_amplitude: A = attenuation in 0.75 dB steps; returns 254 * 10^(-0.75 A / 20),
; 0 from 64 (48 dB) on. Keeps X.
level_amplitude:
    CMP A,#64
    BCS .silent
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
.silent:
    MOV A,#0
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

; sin((i + 0.5) * pi / 64) * 255, a quarter of the wave
quarter_sine:
    .db 6, 19, 31, 44, 56, 68, 80, 92, 103, 115, 126, 136, 147, 157, 167, 176
    .db 185, 193, 201, 208, 215, 222, 228, 233, 238, 242, 246, 249, 251, 253, 254, 255

; waveform_ready: slot `slot` is made: the voices waiting for it play it from their next
; loop, at the pitch it needs.
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
    PUSH X
    CALL channel_pitch
    POP X
.next:
    DEC X
    BPL .voice
    RET
