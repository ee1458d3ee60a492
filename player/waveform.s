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
; its bytes) that the search compares first. A new patch takes the next slot round
; the cache that no voice plays or waits for. The background makes the waveforms one
; sample at a time while the player waits, so that no note is late.
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

; cache_setup: the heap from `heap` to HEAP_END holds as many slots as fit (at most
; MAX_SLOTS with slot 0).
cache_setup:
    MOVW YA,heap
    MOVW tmp,YA
    MOV A,#lo(-SLOT_SIZE)         ; slot 1 at the heap's start
    MOV Y,#hi(-SLOT_SIZE)
    ADDW YA,tmp
    MOVW slot_base,YA
    MOV A,#lo(HEAP_END)           ; room = HEAP_END - heap
    MOV Y,#hi(HEAP_END)
    SUBW YA,tmp
    MOVW tmp,YA
    MOV A,#MAX_SLOTS - 1
    CMP Y,#hi((MAX_SLOTS - 1) * SLOT_SIZE)
    BCS .count
    MOV A,tmp                     ; room / 48 = (room / 16) / 3
    XCN A
    AND A,#$0F
    MOV tmp,A
    MOV A,tmp+1
    XCN A
    AND A,#$F0
    OR A,tmp
    MOV Y,#0
    MOV X,#3
    DIV YA,X
.count:
    INC A
    MOV slot_count,A
    RET

; channel_waveform: the voice of `channel` gets the waveform of the work record's patch:
; from the cache, or queued to be made (the voice then plays the sine until it is ready).
; The channel's last slot serves again while its patch registers stay as they were.
channel_waveform:
    MOV nearest,#0
    MOV X,channel
    BBS events.3,.build           ; F_PATCH
    MOV A,!ch_slot+X
    BPL .have
.build:
    CALL build_signature
    CALL find_slot
    MOV X,channel
    MOV !ch_slot+X,A
.have:
    MOV X,voice
    MOV v_want+X,A
    CALL slot_address
    MOV Y,#SLOT_STATE
    MOV A,[slot_ptr]+Y
    AND A,#S_READY
    BEQ .stand_in
    MOV A,v_want+X
    BRA .play
.stand_in:
    MOV A,nearest                 ; not ready: the nearest ready waveform meanwhile
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

; find_slot: A = the slot holding `sig`, queued to be made when it was not there. The
; slots are walked with a pointer; each keeps a hash of its signature, compared first.
find_slot:
    MOV A,#0                      ; the signature's hash: the sum of its bytes
    MOV X,#8
.hash:
    CLRC
    ADC A,sig+X
    DEC X
    BPL .hash
    MOV sig_hash,A
    CALL poll
    MOV A,#0
    MOV slot,A
    CALL slot_address
.search:
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
    BEQ .absent
    AND A,#15                     ; a long search must not let the timer overflow
    BNE .walk
    CALL poll
.walk:
    MOV A,slot
    DEC A                         ; slot 1 follows slot 0 (in low RAM) at slot_base + 48
    BNE .step
    MOVW YA,slot_base
    MOVW slot_ptr,YA
.step:
    MOV A,#SLOT_SIZE
    MOV Y,#0
    ADDW YA,slot_ptr
    MOVW slot_ptr,YA
    BRA .search
.absent:
    CALL nearest_slot
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
    CMP A,!S_PAGE+s_making               ; nor the one being made
    BEQ .victim
    MOV X,#CHANNELS-1             ; channels that remember it forget it
.forget:
    CMP A,!ch_slot+X
    BNE .kept
    PUSH A
    MOV A,#$FF
    MOV !ch_slot+X,A
    POP A
.kept:
    DEC X
    BPL .forget
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

; nearest_slot: `nearest` = the ready slot whose signature differs from sig only in its
; levels, and least in their sum, if less than NEAR_ENOUGH (slot 0, the sine, when none
; is): it stands in while the patch's own waveform is made.
NEAR_ENOUGH = 12
nearest_slot:
    MOV nearest,#0
    MOV best,#NEAR_ENOUGH
    MOV A,#1
.slot:
    CMP A,slots_used
    BCS .done
    MOV slot,A
    CALL slot_address
    MOV Y,#SLOT_STATE
    MOV A,[slot_ptr]+Y
    AND A,#S_READY
    BEQ .next
.same:
    INC Y                         ; algorithm, feedback and multiples the same
    MOV A,[slot_ptr]+Y
    CMP A,!sig-SLOT_SIG+Y
    BNE .next
    CMP Y,#SLOT_SIG+4
    BNE .same
    MOV distance,#0
.level:
    INC Y                         ; the levels' distance
    MOV A,[slot_ptr]+Y
    SETC
    SBC A,!sig-SLOT_SIG+Y
    BCS .positive
    EOR A,#$FF
    INC A
.positive:
    CLRC
    ADC A,distance
    BCS .next
    MOV distance,A
    CMP Y,#SLOT_SIG+8
    BNE .level
    CMP A,best
    BCS .next
    MOV best,A
    MOV nearest,slot
.next:
    CALL poll
    MOV A,slot
    INC A
    BRA .slot
.done:
    RET

; background_waveform: a step of the waveform being made, or the start of the next queued
; one. Returns carry clear when there was nothing to do.
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
; Units: a sine-table index is 1/256 of a cycle. An operator's output is the product
; P = sine * amplitude (0-65025, with its sign): a modulator adds P / 64 to the index of the
; operators it feeds (full level: 1016, 4 cycles); operator 1 adds the mean of its last two
; outputs times 2^(FB - 8); a carrier adds P / 256 to the sample, which is then taken at
; seven eighths (one carrier at full level: 223).

; synth_start: prepares the making of slot `slot` (slot_ptr) from its signature: for each
; operator its phase step, amplitude, inputs and wave. Returns carry set (there was work).
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
    MOV s_alg,A
    XCN A
    AND A,#7
    MOV s_fb,A
    MOV A,s_alg
    AND A,#$0F
    MOV s_alg,A
    ASL A
    ASL A
    MOV s_algx,A
    MOV X,#3
.op:
    MOV A,X
    CLRC
    ADC A,#SLOT_SIG+5
    MOV Y,A
    MOV A,[s_slot]+Y              ; level: amplitude and half-sine
    MOV s_half+X,A
    AND A,#$7F
    CALL level_amplitude
    MOV s_amp+X,A
    MOV A,X
    CLRC
    ADC A,#SLOT_SIG+1
    MOV Y,A
    MOV A,[s_slot]+Y              ; cycles a period: 4 sine-table steps a sample
    ASL A
    ASL A
    MOV s_step+X,A
    MOV A,X
    CLRC
    ADC A,s_algx
    MOV Y,A
    MOV A,!alg_inputs+Y
    MOV s_in+X,A
    MOV A,#0
    MOV s_phase+X,A
    MOV s_m+X,A
    DEC X
    BPL .op
    MOV X,s_alg
    MOV A,!alg_carriers+X
    MOV s_car,A
    MOV A,#0
    MOV X,#s_clear_end - s_clear
.clear:
    MOV s_clear-1+X,A
    DEC X
    BNE .clear
    MOV s_blocks,#4
    CLRP
    SETC
    RET

; synth_step: the next sample of the waveform being made, or at each 16th the BRR block.
; Returns carry set (there was work).
synth_step:
    SETP
    CMP s_count,#16
    BNE .sample
    CALL brr_block
    JMP .done
.sample:
    MOV acc,#0
    MOV acc+1,#0
    MOV A,s_fb                    ; operator 1's feedback: the mean of its last two
    BEQ .no_feedback              ; outputs (P / 64) times 2^(FB - 8)
    MOV A,s_h1
    CLRC
    ADC A,s_h2
    MOV value,A
    MOV A,s_h1+1
    ADC A,s_h2+1
    MOV value+1,A
    MOV A,#9
    SETC
    SBC A,s_fb
    MOV Y,A
.fb_shift:
    MOV A,value+1                 ; arithmetic shift right
    ASL A
    ROR value+1
    ROR value
    DBNZ Y,.fb_shift
    MOV A,value
.no_feedback:
    MOV X,#0
    CLRC
    BRA .index
.op:
    MOV A,s_in+X                  ; index: phase + the inputs' outputs / 64
    MOV inputs,A
    MOV A,#0
    CLRC
    BBC inputs.0,.in2
    ADC A,s_m
    CLRC
.in2:
    BBC inputs.1,.in3
    ADC A,s_m+1
    CLRC
.in3:
    BBC inputs.2,.index
    ADC A,s_m+2
    CLRC
.index:
    ADC A,s_phase+X
    MOV index,A
    MOV A,s_amp+X
    BNE .sounds
    MOV s_m+X,A                   ; a silent operator puts out nothing
    JMP .next_op
.sounds:
    MOV A,index                   ; the quarter-wave table, mirrored
    AND A,#$7F
    CMP A,#$40
    BCC .rising
    EOR A,#$7F
.rising:
    MOV Y,A
    MOV A,!quarter_sine+Y
    MOV Y,s_amp+X
    MUL YA
    MOVW value,YA                 ; P, its sign from the index's top bit
    BBC index.7,.plus
    MOV A,s_half+X
    BPL .minus
    MOV value,#0                  ; a half-sine is silent in its negative half
    MOV value+1,#0
.plus:
    CLR1 neg.0
    BRA .shares
.minus:
    SET1 neg.0
.shares:
    MOV A,value+1                 ; to the sample: P / 256
    MOV carried,A
    MOV carried+1,#0
    ASL value                     ; to the index: P / 64 (its low byte serves, mod 256)
    ROL value+1
    ASL value
    ROL value+1
    MOV A,value+1
    BBC neg.0,.m_plus
    EOR A,#$FF
    INC A
.m_plus:
    MOV s_m+X,A
    CMP X,#0
    BNE .carrier
    MOVW YA,s_h1                  ; operator 1's history: all of P / 64, signed
    MOVW s_h2,YA
    MOV A,carried                 ; its bits 9-8: P's bits 15-14
    XCN A
    LSR A
    LSR A
    AND A,#3
    MOV Y,A
    MOV A,value+1
    BBC neg.0,.h_store
    MOVW peak,YA
    MOV A,#0
    MOV Y,#0
    SUBW YA,peak
.h_store:
    MOVW s_h1,YA
.carrier:
    MOV A,!bit_of+X
    AND A,s_car
    BEQ .next_op
    MOVW YA,acc
    BBS neg.0,.subtract
    ADDW YA,carried
    BRA .summed
.subtract:
    SUBW YA,carried
.summed:
    MOVW acc,YA
.next_op:
    INC X
    CMP X,#4
    BEQ .mixed
    JMP .op
.mixed:
    MOVW YA,acc                   ; seven eighths
    MOVW value,YA
    MOV Y,#3
.eighth:
    MOV A,value+1
    ASL A
    ROR value+1
    ROR value
    DBNZ Y,.eighth
    MOVW YA,acc
    SUBW YA,value
    PUSH A
    MOV A,s_count
    ASL A
    MOV X,A
    POP A
    MOV s_buf+X,A
    MOV s_buf+1+X,Y
    INC s_count
    MOV X,#3
.advance:
    MOV A,s_phase+X
    CLRC
    ADC A,s_step+X
    MOV s_phase+X,A
    DEC X
    BPL .advance
.done:
    CLRP
    SETC
    RET

; brr_block: the 16 samples of s_buf as a BRR block at s_dst, which moves on: the nibble
; is the sample shifted right by k (rounded), k the smallest that keeps the block's peak
; within +-7; the range is k + 5 (a nibble of 7 decodes as 7 * 2^(k+4), one carrier's sine
; peaking near 3584). Filter 0; the last block ends the waveform and loops to its start,
; which is then ready.
brr_block:
    CLRP
    CALL poll
    SETP
    MOV peak,#0
    MOV peak+1,#0
    MOV X,#30
.peak:
    MOV A,s_buf+X                 ; |sample| (ones' complement for negatives)
    MOV Y,s_buf+1+X
    BPL .magnitude
    EOR A,#$FF
    MOVW value,YA
    MOV A,value+1
    EOR A,#$FF
    MOV Y,A
    MOV A,value
.magnitude:
    CMPW YA,peak
    BCC .lower
    MOVW peak,YA
.lower:
    DEC X
    DEC X
    BPL .peak
    MOV Y,#0                      ; k: the peak below 7 * 2^k
    MOV A,#7
    MOV limit,A
    MOV limit+1,Y
.range:
    MOVW YA,peak
    CMPW YA,limit
    BCC .found
    ASL limit
    ROL limit+1
    INC k_shift
    CMP k_shift,#7
    BNE .range
.found:
    MOV Y,k_shift                 ; rounding: half of the last bit dropped
    MOV A,!round_of+Y
    MOV round,A
    MOV round+1,#0
    MOV A,Y
    CLRC
    ADC A,#5
    XCN A
    CMP s_blocks,#1
    BNE .header
    OR A,#3                       ; loop + end
.header:
    MOV Y,#0
    MOV [s_dst]+Y,A
    MOV X,#0
.byte:
    CALL brr_nibble
    XCN A
    AND A,#$F0
    MOV high,A
    CALL brr_nibble
    AND A,#$0F
    OR A,high
    INC Y
    MOV [s_dst]+Y,A
    CMP Y,#4                      ; halfway: the timer
    BNE .on
    PUSH X
    CLRP
    CALL poll
    SETP
    POP X
.on:
    CMP Y,#8
    BNE .byte
    MOV A,#9
    MOV Y,#0
    ADDW YA,s_dst
    MOVW s_dst,YA
    MOV s_count,#0
    MOV k_shift,#0
    DBNZ s_blocks,.more
    MOV Y,#SLOT_STATE             ; the waveform is made
    MOV A,[s_slot]+Y
    AND A,#$80
    OR A,#S_READY
    MOV [s_slot]+Y,A
    MOV s_making,#NOT_MAKING
    CLRP
    CALL waveform_ready
    SETP
.more:
    RET

; brr_nibble: the sample at s_buf + X, rounded (+ round) and shifted right by k keeping its
; sign, within -8..7; X moves to the next sample. Keeps Y.
brr_nibble:
    PUSH Y
    MOV A,s_buf+X
    MOV Y,s_buf+1+X
    INC X
    INC X
    ADDW YA,round
    MOVW value,YA
    MOV Y,k_shift
    BEQ .clamp
.shift:
    MOV A,value+1
    ASL A
    ROR value+1
    ROR value
    DBNZ Y,.shift
.clamp:
    MOV A,value
    MOV Y,value+1
    BMI .negative
    BNE .top
    CMP A,#8
    BCC .done
.top:
    MOV A,#7
    BRA .done
.negative:
    CMP Y,#$FF
    BNE .bottom
    CMP A,#$F8
    BCS .done
.bottom:
    MOV A,#$F8
.done:
    POP Y
    RET

round_of:
    .db 0, 1, 2, 4, 8, 16, 32, 64

; level_amplitude: A = attenuation in 0.75 dB steps; returns 255 * 10^(-0.75 A / 20),
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

amplitude_fine:
    .db 255, 234, 215, 197, 181, 166, 152, 139

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

; sin((i + 0.5) * pi / 128) * 255, a quarter of the wave
quarter_sine:
    .db 3, 9, 16, 22, 28, 34, 41, 47, 53, 59, 65, 71, 77, 83, 89, 95
    .db 100, 106, 112, 117, 123, 128, 134, 139, 144, 149, 154, 159, 164, 169, 174, 178
    .db 183, 187, 191, 195, 199, 203, 207, 210, 214, 217, 220, 223, 226, 229, 232, 234
    .db 237, 239, 241, 243, 245, 247, 248, 249, 251, 252, 253, 253, 254, 255, 255, 255

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
