; ---- The PSG's noise samples, made in the heap at start-up.
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
; the tone pitch of the shift clock's period, each block lasts one shift. High 7168 (shift
; 11) and low -448 (shift 7) make the pulse almost free of DC, which would only eat headroom.
WHITE_NOISE_SIZE = 128 * 9
PULSE_SIZE = 16 * 9

; noise_step: the next block of the white noise. After the last one the noise channel is
; looked at again, since it may have been waiting for its sample.
noise_step:
    MOV A,#$A0
    CMP noise_blocks,#1
    BNE .header
    MOV A,#$A3
.header:
    MOV Y,#0
    MOV [noise_dst]+Y,A
.bit:
    INC Y
    MOV A,#$99
    BBC lfsr.0,.low
    MOV A,#$77
.low:
    MOV [noise_dst]+Y,A
    MOV A,lfsr                    ; feedback: bit 0 xor bit 3, into bit 15
    MOV tmp,A
    LSR A
    LSR A
    LSR A
    EOR A,tmp
    LSR A
    ROR lfsr+1
    ROR lfsr
    CMP Y,#8
    BNE .bit
    MOV A,#9
    MOV Y,#0
    ADDW YA,noise_dst
    MOVW noise_dst,YA
    DBNZ noise_blocks,.done
    MOV A,#lo(WHITE_NOISE_SIZE)
    MOV Y,#hi(WHITE_NOISE_SIZE)
    MOVW tmp,YA
    MOVW YA,noise_dst
    SUBW YA,tmp
    MOVW white_noise,YA
    OR psg_dirty,#$80
    SET1 pending.0
.done:
    RET
