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
; signature and the 64-sample period as 4 BRR blocks. A new patch takes the next slot round
; the cache that no voice plays or waits for. The background makes the waveforms one
; sample at a time while the player waits, so that no note is late.
SLOT_STATE = 0
SLOT_SIG   = 1
SLOT_BRR   = 10
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
    BEQ .sine
    MOV A,v_want+X
.sine:
    MOV v_slot+X,A                ; A = 0 when not ready: slot 0, the sine
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
    MOV A,#0
.search:
    MOV slot,A
    CALL slot_address
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
    MOV A,slot
    INC A
    CMP A,slot_count
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
    RET
.fallback:
    MOV A,#0                      ; every slot in use: the sine
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

; ---- the synthesis runs with the direct page at page 1 (SETP), where its state lives

; synth_start: prepares the making of slot `slot` (slot_ptr) from its signature: for each
; operator its phase step, amplitude, inputs and wave; then the 64-sample pass. Returns
; carry set (there was work).
synth_start:
    MOVW YA,slot_ptr
    SETP
    MOVW s_slot,YA
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
    DEC X
    BPL .op
    MOV X,s_alg
    MOV A,!alg_carriers+X
    MOV s_car,A
    MOV s_blocks,#4
    MOV A,#SLOT_BRR
    MOV Y,#0
    ADDW YA,s_slot
    MOVW s_dst,YA
    MOV A,#0
    MOV X,#s_clear_end - s_clear
.clear:
    MOV s_clear-1+X,A
    DEC X
    BNE .clear
    CLRP
    SETC
    RET

; synth_step: one sample of the waveform being made; every 16th, a BRR block. Returns
; carry set (there was work).
synth_step:
    SETP
    MOV X,#0
.op:
    MOV A,s_amp+X
    BNE .sounds
    MOV s_out+X,A                 ; a silent operator puts out nothing
    MOV s_outh+X,A
    JMP .next_op
.sounds:
    MOV mod,#0                    ; modulation: the sum of the operator's inputs
    MOV mod+1,#0
    MOV A,s_in+X
    MOV inputs,A
    MOV Y,#0
.input:
    LSR inputs
    BCC .no_input
    MOV A,!S_PAGE+s_out+Y
    CLRC
    ADC A,mod
    MOV mod,A
    MOV A,!S_PAGE+s_outh+Y
    ADC A,mod+1
    MOV mod+1,A
.no_input:
    INC Y
    MOV A,inputs
    BNE .input
    CMP X,#0
    BNE .phase
    MOV A,s_fb                    ; operator 1 feeds itself the mean of its last two
    BEQ .phase                    ; outputs, times 2^(FB - 8)
    MOV A,s_fb1
    CLRC
    ADC A,s_fb2
    MOV mod,A
    MOV A,s_fb1+1
    ADC A,s_fb2+1
    ROR A                         ; the 17-bit sum halved: the carry is its top bit
    ROR mod
    MOV mod+1,A
    MOV A,#8
    SETC
    SBC A,s_fb
    MOV Y,A
.fb_shift:
    MOV A,mod+1                   ; arithmetic shift right
    ASL A
    ROR mod+1
    ROR mod
    DBNZ Y,.fb_shift
.phase:
    MOV A,mod+1                   ; sine index = phase + modulation * 8 / 256
    ASL mod
    ROL A
    ASL mod
    ROL A
    ASL mod
    ROL A
    CLRC
    ADC A,s_phase+X
    MOV index,A
    AND A,#$7F                    ; the quarter-wave table, mirrored
    CMP A,#$40
    BCC .rising
    EOR A,#$7F
.rising:
    MOV Y,A
    MOV A,!quarter_sine+Y
    MOV Y,s_amp+X
    MUL YA                        ; magnitude * amplitude, up to 65025
    MOVW value,YA
    LSR value+1                   ; the output: half of it, signed
    ROR value
    BBC index.7,.output
    MOV A,s_half+X
    BPL .negative
    MOV value,#0                  ; half-sine: the negative half is silent
    MOV value+1,#0
    BRA .output
.negative:
    MOV A,#0
    MOV Y,#0
    SUBW YA,value
    MOVW value,YA
.output:
    MOV A,value
    MOV s_out+X,A
    MOV A,value+1
    MOV s_outh+X,A
    MOV A,!bit_of+X               ; a carrier adds an eighth of its output to the sample
    AND A,s_car
    BEQ .next_op
    MOV Y,#3
.eighth:
    MOV A,value+1
    ASL A
    ROR value+1
    ROR value
    DBNZ Y,.eighth
    MOVW YA,value
    ADDW YA,acc
    MOVW acc,YA
.next_op:
    INC X
    CMP X,#4
    BEQ .sample
    JMP .op
.sample:
    MOVW YA,acc                   ; seven eighths: one carrier's sine peaks at 3556,
    MOVW value,YA                 ; within the BRR range whose step is 512
    MOV Y,#3
.seventh:
    MOV A,value+1
    ASL A
    ROR value+1
    ROR value
    DBNZ Y,.seventh
    MOVW YA,acc
    SUBW YA,value
    MOVW acc,YA
    MOVW YA,s_fb1                 ; operator 1's last two outputs
    MOVW s_fb2,YA
    MOV A,s_out
    MOV Y,s_outh
    MOVW s_fb1,YA
    MOV X,#3
.advance:
    MOV A,s_phase+X
    CLRC
    ADC A,s_step+X
    MOV s_phase+X,A
    DEC X
    BPL .advance
    MOV A,s_count                 ; into the block's buffer
    ASL A
    MOV X,A
    MOVW YA,acc
    MOV s_buf+X,A
    MOV s_buf+1+X,Y
    MOV acc,#0
    MOV acc+1,#0
    INC s_count
    CMP s_count,#16
    BNE .done
    MOV s_count,#0
    CALL brr_block
    DBNZ s_blocks,.done
    MOV Y,#SLOT_STATE
    MOV A,[s_slot]+Y
    AND A,#$80
    OR A,#S_READY
    MOV [s_slot]+Y,A
    MOV s_making,#NOT_MAKING
    CLRP
    CALL waveform_ready
    SETC
    RET
.done:
    CLRP
    SETC
    RET

; brr_block: the 16 samples of s_buf as a BRR block at s_dst (which moves on): the range
; is the smallest that holds the block's peak (shift 9 to 12: the sample rounded to its
; high byte shifted right by 0 to 3), filter 0; the last block loops back to the first.
brr_block:
    MOV peak,#0
    MOV X,#31
.peak:
    MOV A,s_buf+X
    BPL .positive
    EOR A,#$FF
.positive:
    CMP A,peak
    BCC .lower
    MOV peak,A
.lower:
    DEC X
    DEC X
    BPL .peak
    MOV Y,#0
.range:
    CMP peak,#7                   ; the high byte, rounded, must stay within +-7 shifted
    BCC .found
    LSR peak
    INC Y
    CMP Y,#3
    BNE .range
.found:
    MOV shift,Y
    MOV A,#$80                    ; rounding: half the last bit kept
    MOV round,#0
    CMP Y,#0
    BEQ .round
    MOV A,!bit_of-1+Y
    MOV round,A
    MOV A,#0
.round:
    MOV round+1,A
    MOV A,Y
    CLRC
    ADC A,#9
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
    CMP Y,#8
    BNE .byte
    MOV A,#9
    MOV Y,#0
    ADDW YA,s_dst
    MOVW s_dst,YA
    RET

; brr_nibble: the sample at s_buf + X rounded, shifted right by `shift` keeping its sign,
; at most 7; X moves to the next sample. Keeps Y.
brr_nibble:
    MOV A,s_buf+X
    CLRC
    ADC A,round+1
    MOV A,s_buf+1+X
    ADC A,round
    INC X
    INC X
    MOV count1,shift
    BEQ .clamp
.shift:
    CMP A,#$80
    ROR A
    DBNZ count1,.shift
.clamp:
    CMP A,#8
    BNE .done
    DEC A
.done:
    RET

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
