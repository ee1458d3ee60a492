; ---- Start-up: runs once. Most of it lies where the playing's tables go later (the direct
; page from RUNTIME_DP, page 1's tables, the sample directory, the stack's lower part), all
; of them 0 until the song starts: it clears the direct page's and the directory's itself,
; and `finish` (stream.s) page 1's before the stream starts.
INIT_NOISE_SIZE = WHITE_NOISE_SIZE + PULSE_SIZE
OPN_CLOCK   = 7670453
NTSC_CLOCK  = 3579545

; read_header: the data start, the loop point, the end of the flag groups (the heap's
; start) and which chips' register copies fit above it (the heap's end).
read_header:
    ; data start = field $34 + $34, at least $40
    MOV A,!HDR_DATA
    CLRC
    ADC A,#$34
    MOV ptr,A
    MOV A,!HDR_DATA+1
    ADC A,#0
    MOV ptr+1,A
    BNE .start_ok
    CMP ptr,#$40
    BCS .start_ok
    MOV ptr,#$40
.start_ok:
    CLRC
    ADC ptr+1,#hi(STREAM)
    ; the flag groups end at the end-of-file field + 4 (the converter's, below $FFC0): the
    ; heap starts there
    MOV A,!HDR_EOF
    MOV Y,!HDR_EOF+1
    MOVW heap,YA
    MOV A,#4 + lo(STREAM)
    MOV Y,#hi(STREAM)
    ADDW YA,heap
    MOVW heap,YA
.copies:
    ; the YM2612's and the YM2413's copies at the top, then the YM2151's below them, each
    ; while the stream leaves room
    MOV A,#lo(OPN0)
    MOV Y,#hi(OPN0)
    CMPW YA,heap
    BCC .loop
    MOVW heap_end,YA
    SET1 chips.0
    MOV A,#lo(OPM_KEYS)
    MOV Y,#hi(OPM_KEYS)
    CMPW YA,heap
    BCC .loop
    MOVW heap_end,YA
    SET1 chips.1
.loop:
    ; loop point = field $1C + $1C, or none when the field is 0 (the converter's: the
    ; place of a command that starts a flag group)
    MOV A,!HDR_LOOP
    MOV Y,!HDR_LOOP+1
    MOVW loop_at,YA
    MOVW YA,loop_at
    BEQ .loop_ok
    MOV A,#$1C + lo(STREAM)
    MOV Y,#hi(STREAM)
    ADDW YA,loop_at
    MOVW loop_at,YA
.loop_ok:
    RET



.org RUNTIME_DP
; clocks: each chip's clock constant from its header field (without the dual-chip bits;
; 0 means the chip's usual clock): clock * 2^shift / d1 / d2, 3 bytes.
;   the PSG: clock * 32 / 125 = 4 * clock * 0.064: a 16-sample wave sounds at f for
;     pitch P = f * 16 * 4096 / 32000, and f = clock / (32 N), so P = clock * 0.064 / N
;     (four times that, so that psg.s's division finds its bits in whole bytes);
;   the FM chips: the pitch of a 64-sample period per F-number step (fm.s, fnum_pitch).
clocks:
    MOV tmp,#0
.chip:
    MOV X,tmp
    MOV A,!clock_rows+X
    MOV Y,A
    MOV X,#num
.read:
    MOV A,!STREAM+Y
    MOV (X)+,A
    INC Y
    CMP X,#num + 4
    BNE .read
    AND num+3,#$3F
    MOV A,num+3
    OR A,num
    OR A,num+1
    OR A,num+2
    BNE .clock
    MOV num,#lo(NTSC_CLOCK)
    MOV num+1,#hi(NTSC_CLOCK)
    MOV num+2,#NTSC_CLOCK >> 16
    CMP Y,#$2C + 4
    BNE .clock
    MOV num,#lo(OPN_CLOCK)
    MOV num+1,#hi(OPN_CLOCK)
    MOV num+2,#OPN_CLOCK >> 16
.clock:
    MOV X,tmp
    MOV A,!clock_rows+1+X
    MOV count,A
.shift:
    ASL num
    ROL num+1
    ROL num+2
    ROL num+3
    DBNZ count,.shift
    MOV A,!clock_rows+2+X
    CALL divide_num
    MOV X,tmp
    MOV A,!clock_rows+3+X
    CALL divide_num
    MOV X,tmp
    MOV A,!clock_rows+4+X
    MOV X,A
    MOV A,num
    MOV (X)+,A
    MOV A,num+1
    MOV (X)+,A
    MOV A,num+2
    MOV (X)+,A
    MOV A,tmp
    CLRC
    ADC A,#5
    MOV tmp,A
    CMP A,#20
    BNE .chip
    RET

; divide_num: num /= A (at most 255), a byte at a time from the top: the remainder stays
; below the divisor, so every quotient byte fits.
divide_num:
    MOV X,A
    MOV Y,#0
    MOV A,num+3
    DIV YA,X
    MOV num+3,A
    MOV A,num+2
    DIV YA,X
    MOV num+2,A
    MOV A,num+1
    DIV YA,X
    MOV num+1,A
    MOV A,num
    DIV YA,X
    MOV num,A
    RET
.assert * <= RUNTIME_DP_END, "the start-up code runs into the I/O registers"

.org S_PAGE
init:
    CLRP                          ; direct page 0 (its first values come with the image)
    MOV X,#STACK_TOP
    MOV SP,X
    ; The timer runs from the first instruction on, so the time spent setting up counts
    ; against the song's first wait and everything after it keeps its place.
    MOV CONTROL,#$00              ; timers off, IPL ROM unmapped
    MOV T2TARGET,#32              ; timer 2: 64000 / 32 = 2000 ticks per second
    MOV CONTROL,#$04              ; timer 2 on (this restarts its counter)
    MOV X,#2 * TCALLS
.vectors:
    MOV A,!tcall_vectors-1+X
    MOV !TCALL_VECTORS-1+X,A
    DEC X
    BNE .vectors
    ; The image starts the DSP with every register 0 but FLG (echo writes off): voices
    ; silent in GAIN mode, no echo, no noise. What is left: the main volume and the sample
    ; directory. Main volume 96/128: four tone voices at full level sum to about 28000
    ; inside the DSP; SPC players amplify the DSP output further (libgme by about 1.28),
    ; and 96 keeps that sum below full scale there as well.
    MOV A,#MVOLL
    MOV Y,#MAIN_VOLUME
    MOVW DSPADDR,YA
    MOV A,#MVOLR
    MOVW DSPADDR,YA
    MOV A,#DIR
    MOV Y,#hi(DIRECTORY)
    MOVW DSPADDR,YA
    CALL read_header
    CALL clocks
    MOV A,!HDR_PSGFLG             ; the PSG: bit 0, a period of 0 means 1024
    AND A,#1
    ASL A
    ASL A
    MOV zero_1k,A
    CALL heap_setup
    CALL cache_setup
.assert RUNTIME_DP_END - RUNTIME_DP >= DIRECTORY_END - DIRECTORY, "one loop clears both areas"
    MOV A,#0                      ; the direct page's and the directory's tables start at
    MOV X,#RUNTIME_DP_END - RUNTIME_DP ; 0 (this code's own page: finish)
.clear:
    MOV RUNTIME_DP-1+X,A
    CMP X,#DIRECTORY_END - DIRECTORY + 1
    BCS .next
    MOV !DIRECTORY-1+X,A
.next:
    DEC X
    BNE .clear
    JMP finish
MAIN_VOLUME = 96

clock_rows:                       ; header field, shift, d1, d2, result
    .db $0C, 5, 125, 1, kconst
    .db $2C, 1, 125, 9, kf_opn
    .db $30, 2, 19, 23, kf_opm
    .db $10, 4, 125, 9, kf_opll
.assert * <= page1_end, "the start-up code runs into page 1's code"

.org DIRECTORY
; cache_setup: the waveform cache in the heap that is left.
cache_setup:
    ; the waveform cache: slot 0 in low RAM, slots 1 on from the heap's start, as many
    ; as fit (at most MAX_SLOTS with slot 0)
    MOVW YA,heap
    MOVW tmp,YA
    MOV A,#lo(-SLOT_SIZE)
    MOV Y,#hi(-SLOT_SIZE)
    ADDW YA,tmp
    MOVW slot_base,YA
    MOVW YA,heap_end
    SUBW YA,tmp
    CMP Y,#hi((MAX_SLOTS - 1) * SLOT_SIZE) + 1
    BCC .count
    MOV A,#lo((MAX_SLOTS - 1) * SLOT_SIZE)
    MOV Y,#hi((MAX_SLOTS - 1) * SLOT_SIZE)
.count:
    MOV X,#SLOT_SIZE
    DIV YA,X
    INC A
    MOV slot_count,A
    RET
; The TCALL vectors, TCALL TCALLS - 1 first (they go to TCALL_VECTORS up).
tcall_vectors:
    .dw channel_chip
    .dw decay_rate
    .dw load_channel
    .dw opn_registers
    .dw voice_key_on
    .dw voice_sample
    .dw key_change
    .dw fnum_pitch
    .dw fm_mark
    .dw note_pitch
    .dw opll_decay
    .dw normalize
    .dw rate_of
    .dw next_register
    .dw slot_address
    .dw poll
.assert * <= DIRECTORY_END, "the start-up code runs into page 2's code"

; The stack's page below the few bytes that the start-up's calls take (its deepest: clocks
; calling divide_num, 4 bytes; poll's pushed Y, 1 more).
INIT_STACK = 8
.org STACK_BOTTOM
; heap_setup: the noise samples at the heap's start when they fit (noise.s), else the
; square wave stands in for both.
heap_setup:
    MOVW YA,heap                  ; room = heap_end - heap
    MOVW tmp,YA
    MOVW YA,heap_end
    SUBW YA,tmp
    CMP Y,#hi(INIT_NOISE_SIZE) + 1
    BCC .square
    BRA noise_setup
.square:
    MOV A,#lo(square)
    MOV Y,#hi(square)
    MOVW pulse_noise,YA
    MOVW white_noise,YA
    RET
.assert * <= $0200 - INIT_STACK, "the start-up code runs into its stack"
