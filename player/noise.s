; ---- The PSG's noise samples, made in the heap: the pulse at start-up (init.s), the white
; noise in the background.
;
; White noise as the PSG makes it: the first 1024 output bits of its 16-bit shift register
; after a reset (feedback from bits 0 and 3 into bit 15, started at $8000), each held for
; two samples (+7 for a 1, -7 for a 0, shift 10 as the square wave): 128 blocks, the last
; one looping back to the first. Played at one eighth of the tone pitch of the shift clock's
; period, every bit lasts one shift; a noise write keys the voice on, as the chip resets its
; register.
;
; Periodic noise is one pulse in 16 shifts: 16 blocks of 16 samples, the last one high
; (after a reset the register's one bit reaches the output at the 16th shift); played at
; the tone pitch of the shift clock's period, each block lasts one shift. High 6144 and 5120
; in turn (shift 11) over low -512 (shift 7): through the level rows it shares with the
; tones it sits 7.6 dB (RMS) below a tone of the same attenuation, where it sits on the
; PSG; and it is almost free of DC, which would only eat headroom.
WHITE_NOISE_SIZE = 128 * 9
PULSE_SIZE = 16 * 9
; The white noise is made from its end back to its start, running the register backwards
; from its state after the 1024 bits: then the bit before the 16 it holds is bit 15 xor bit
; 2, and noise_dst ends at the sample's start.
WHITE_NOISE_END_STATE = $08B8

; noise_step: the white noise's block before noise_dst, its last bit first. Once the first
; block is made the sample is ready, and the noise channel is looked at again if it plays
; white noise (it was waiting for its sample).
noise_step:
    MOV Y,#0
    MOV count,#8
.bit:
    MOV A,lfsr                    ; bit 2 to bit 7
    XCN A
    ASL A
    EOR A,lfsr+1
    ASL A                         ; carry: the bit, which the register takes in
    MOV A,#$99                    ; -7 for a 0
    BCC .low
    MOV A,#$77                    ; +7 for a 1
.low:
    ROL lfsr
    ROL lfsr+1
    DECW noise_dst
    MOV [noise_dst]+Y,A
    DBNZ count,.bit
    MOV A,#$A0                    ; header: shift 10, filter 0
    BBC noise_blocks.7,.header
    MOV A,#$A3                    ; the last block (made first): loop and end
.header:
    DECW noise_dst
    MOV [noise_dst]+Y,A
    DBNZ noise_blocks,.done
    MOVW YA,noise_dst
    MOVW white_noise,YA
    BBC regl+6.2,.done
    SET1 psg_dirty.6
    SET1 pending.0
.done:
    RET

; noise_setup (start-up, heap_setup): both samples at the heap's start (tmp; heap moves past
; them): the pulse now, the white noise after it a block at a time in the background
; (noise_step, from its end back), so that the song starts at once.
noise_setup:
    MOVW YA,tmp
    MOVW pulse_noise,YA
    MOV A,#lo(INIT_NOISE_SIZE)
    MOV Y,#hi(INIT_NOISE_SIZE)
    ADDW YA,tmp
    MOVW noise_dst,YA
    MOVW heap,YA
    MOV noise_blocks,#128
    MOV Y,#PULSE_SIZE             ; the pulse from its end back: the high block first
    MOV A,#$65                    ; +6s and +5s
    MOV X,#$B3                    ; shift 11, loop and end
.block:
    MOV count,#8
.byte:
    DEC Y
    MOV [pulse_noise]+Y,A
    DBNZ count,.byte
    DEC Y
    MOV A,X
    MOV [pulse_noise]+Y,A
    MOV A,#$88                    ; then the low ones: -8s
    MOV X,#$70                    ; shift 7
    CMP Y,#0
    BNE .block
    JMP poll                      ; setting up must not let the timer overflow
