; brevox SPC700 player: plays the packed stream that the converter puts at $1100, turning the
; register writes of the SN76489, YM2612, YM2151 and YM2413 into the S-DSP's eight voices.
;
; Sound RAM:
;   $0000-$00EF  direct page variables          $00F0-$00FF  I/O registers
;   $0100-$017F  waveform synthesis buffer      $0180-$01CF  channel tables
;   $01D0-$01FF  stack
;   $0200-$023F  sample directory, two entries per voice (voices.s)
;   $0240-$04FF  chip register copies, built-in samples
;   $0500-$10FF  code (entry at $0500) and tables
;   $1100-       the packed stream: header copy, flag groups, tail. From the end of the flag
;                groups up to $FFC0 lies the heap: the PSG's noise samples and the cache of
;                FM waveforms, as much of it as the song leaves free.
;
; Files: stream.s (commands and time), voices.s (the voice pool), psg.s and noise.s (the
; SN76489), fm.s (what every FM chip shares: envelopes, levels, pitch, waveform cache),
; waveform.s (waveforms from the operator graph), ym2612.s, dac.s (the YM2612's PCM),
; ym2151.s, ym2413.s.

.include "dsp.s"

; ---- direct page
ptr         = $00                 ; word: stream position (with Y, see stream.s)
loop_at     = ptr + 2             ; word: loop point, 0 when the song does not loop
owed        = loop_at + 2         ; 3 bytes, signed: samples still to wait
frac        = owed + 3            ; timer ticks towards the 20th (its extra sample)
flags       = frac + 1            ; flag byte of the current group, shifted once per entry
entries     = flags + 1           ; entries left in the current group
cmd         = entries + 1         ; command byte of the current entry
pending     = cmd + 1             ; bit 0 PSG, 1 FM, 2 DAC: something to flush
kon_bits    = pending + 1         ; voices to key on at the end of this flush
ticks4      = kon_bits + 1        ; 4 ms ticks being handled by housekeeping
tmp         = ticks4 + 1          ; word: scratch
tmp_poll    = tmp + 2             ; word: scratch of poll
sample      = tmp_poll + 2        ; word: scratch of the voice helpers
heap        = sample + 2          ; word: first free heap byte
dst         = heap + 2            ; word: write pointer of the sample makers
count       = dst + 2             ; loop counter
lfsr        = count + 1           ; word: the noise maker's shift register
; voices
v_owner     = lfsr + 2            ; 8: channel of each voice, $FF when free
v_level     = v_owner + 8         ; 8: loudness of its note (0-127)
v_slot      = v_level + 8         ; 8: the waveform slot it plays
v_want      = v_slot + 8          ; 8: the slot it waits for (its patch's)
new_owner   = v_want + 8
alloc_level = new_owner + 1
best        = alloc_level + 1
best_voice  = best + 1
; SN76489
latch       = best_voice + 1      ; register latched by the last latch byte (0-7)
psg_dirty   = latch + 1           ; bit r: PSG register r changed since the last flush
stereo      = psg_dirty + 1       ; Game Gear stereo byte: bit 4+c = channel c left, bit c right
zero_1k     = stereo + 1          ; bit 0: a period of 0 means 1024 (TI chips; header $2B)
chreg       = zero_1k + 1         ; tone register of the channel being updated (0, 2, 4)
vmask       = chreg + 1           ; stereo bits of the channel being updated
psg_channel = vmask + 1           ; PSG channel being updated (0-3)
row         = psg_channel + 1     ; its attenuation row
new_voice   = row + 1             ; 1 when psg_voice has just taken a voice
kconst      = new_voice + 1       ; 3 bytes: clock * 0.064, so that pitch = kconst / N
num         = kconst + 3          ; 4 bytes: division dividend, then quotient
rem         = num + 4             ; word: division remainder
den         = rem + 2             ; word: divisor
pitch       = den + 2             ; word: result of period_pitch
vol         = pitch + 2           ; scratch of set_volume
regl        = vol + 1             ; 8: PSG registers, bits 7-0
regh        = regl + 8            ; 8: PSG registers, bits 9-8 (tone periods only)
muted       = regh + 8            ; 6, by chreg: 1 while the period is too short to hear
psg_pitch   = muted + 6           ; 6, by chreg: pitch of each tone
noise_pitch = psg_pitch + 6       ; word: pitch of the pulse at the noise shift clock
noise_set   = noise_pitch + 2     ; bit 0: the noise clock has been set
noise_reset = noise_set + 1       ; 1: the noise register was written since the last flush
noise_restart = noise_reset + 1   ; 1: the noise sample starts again at this flush
white_noise = noise_restart + 1   ; word: the white noise sample (0 while being made)
pulse_noise = white_noise + 2     ; word: the periodic noise sample
noise_dst   = pulse_noise + 2     ; word: where the next white noise block goes
noise_blocks = noise_dst + 2      ; white noise blocks still to make
; FM
channel     = noise_blocks + 1    ; the channel being brought to the DSP
voice       = channel + 1         ; its voice ($FF none)
events      = voice + 1           ; its ch_flags at this flush
w_alg       = events + 1          ; work record: algorithm (0-7, 8 the YM2413's)
w_fb        = w_alg + 1           ; feedback 0-7
w_pan       = w_fb + 1            ; bit 7 left, bit 6 right
w_wave      = w_pan + 1           ; bit k: operator k + 1 is a half sine
key_code    = w_wave + 1          ; 0-31, for the key scaling
ks_add      = key_code + 1
op_first    = ks_add + 1          ; load_operators: first register, register step
op_step     = op_first + 1
dt2         = op_step + 1
reg_ptr     = dt2 + 1             ; word
sig         = reg_ptr + 2         ; 9: signature of the work record's waveform
carriers    = sig + 9             ; bit k: operator k + 1 is a carrier
note_tl     = carriers + 1        ; the loudest carrier's TL
note_vol    = note_tl + 1         ; its VOL
main_op     = note_vol + 1        ; its operator (0-3)
env_adsr1   = main_op + 1         ; note_envelope's results
env_adsr2   = env_adsr1 + 1
env_sr      = env_adsr2 + 1
env_timer   = env_sr + 1
env_next    = env_timer + 1
env_release = env_next + 1
env_d1      = env_release + 1
env_d1l     = env_d1 + 1
env_sl      = env_d1l + 1
pitch64     = env_sl + 1          ; word: DSP pitch of a 64-sample period
fnum        = pitch64 + 2         ; word
kf          = fnum + 2            ; word: clock constant of fnum_pitch
product     = kf + 2              ; 4
kf_opn      = product + 4         ; word: the YM2612's clock * 2 / 1125
kf_opm      = kf_opn + 2          ; word: the YM2151's clock * 4 / 437
kf_opll     = kf_opm + 2          ; word: the YM2413's clock * 16 / 1125
opll_sus    = kf_opll + 2         ; the key register of the YM2413 channel being loaded
rhythm      = opll_sus + 1        ; the YM2413's register $0E: rhythm mode and drum keys
opn_latch   = rhythm + 1          ; the last $A4-$A6 byte
dac_on      = opn_latch + 1       ; bit 7: the YM2612's DAC replaces channel 6
chip_gain   = dac_on + 1          ; level offset of the chip being loaded (0.75 dB steps)
slot        = chip_gain + 1       ; waveform cache
slot_ptr    = slot + 1            ; word
slot_base   = slot_ptr + 2        ; word
slot_count  = slot_base + 2
slot_next   = slot_count + 1
queued      = slot_next + 1       ; slots waiting to be made
sig_hash    = queued + 1          ; the sum of sig's bytes
slots_used  = sig_hash + 1        ; slots 0 to this - 1 have held a waveform
nearest     = slots_used + 1      ; the ready slot nearest to sig
distance    = nearest + 1
; DAC
dac_flags   = distance + 1      ; bit 0 a run of writes plays, 1 a start, 2 a stop, 3 the
                                  ; stream commands drive the DAC, 4 the writes' rate is known
dac_writes  = dac_flags + 1       ; writes since the last 4 ms tick
dac_pos     = dac_writes + 1      ; word: the DAC position in the bank
dac_start   = dac_pos + 2         ; word: where the voice starts
dac_pitch   = dac_start + 2       ; word
dac_stream_pitch = dac_pitch + 2  ; word: the stream's rate
dac_rate    = dac_stream_pitch + 2 ; word: the stream's rate / 256 (little-endian)
dac_length  = dac_rate + 2        ; word: 4 ms ticks still to play, 0 for no limit
dac_brr     = dac_length + 2      ; word
dac_block_count = dac_brr + 2     ; data blocks of the bank
dac_bank_end = dac_block_count + 1 ; word: the bank's size so far
conv_block  = dac_bank_end + 2    ; the data block being converted
conv_left   = conv_block + 1      ; word: its 16-sample groups still to convert
conv_src    = conv_left + 2       ; word
conv_dst    = conv_src + 2        ; word
conv_shift  = conv_dst + 2
peak8       = conv_shift + 1
high8       = peak8 + 1
dp_end      = high8 + 1
.assert dp_end <= $F0, "direct page variables run into the I/O registers"

; ---- page 1: the synthesis's direct page (waveform.s runs it with SETP), channel tables,
; the stack
S_PAGE      = $0100
s_buf       = $00                 ; 32: the block's 16 samples
s_clear     = s_buf + 32          ; (cleared when a waveform starts)
s_h1        = s_clear             ; word: operator 1's last output (P / 64)
s_h2        = s_h1 + 2            ; word: the one before
s_count     = s_h2 + 2            ; samples in the block so far
k_shift     = s_count + 1         ; the block's shift
s_clear_end = k_shift + 1
s_phase     = s_clear_end         ; 4: operators' sine index
s_step      = s_phase + 4         ; 4: sine steps a sample
s_amp       = s_step + 4          ; 4: amplitude 0-255
s_in        = s_amp + 4           ; 4: inputs (bit j: operator j + 1)
s_half      = s_in + 4            ; 4: bit 7 half sine
s_m         = s_half + 4          ; 4: outputs to the index (P / 64, low byte)
s_fb        = s_m + 4
s_car       = s_fb + 1
s_alg       = s_car + 1
s_algx      = s_alg + 1
s_slot      = s_algx + 1          ; word
s_dst       = s_slot + 2          ; word
s_making    = s_dst + 2           ; the slot being made, NOT_MAKING when none
s_blocks    = s_making + 1        ; blocks left to make
acc         = s_blocks + 1        ; word: the sample being summed
carried     = acc + 2             ; word: an operator's share of it
inputs      = carried + 2
index       = inputs + 1
value       = index + 1           ; word
peak        = value + 2           ; word
limit       = peak + 2            ; word
high        = limit + 2
round       = high + 1            ; word
neg         = round + 2           ; bit 0: the operator's output is negative
s_end       = neg + 1
NOT_MAKING  = $FF
ch_voice    = S_PAGE + s_end      ; 32: voice of each channel, $FF for none
ch_flags    = ch_voice + 32       ; 32: fm.s F_... bits
ch_slot     = ch_flags + 32       ; 32: the waveform slot of the channel's last patch
page1_end   = ch_slot + 32
.assert page1_end <= $01D0, "page 1 tables run into the stack"
STACK_TOP   = $FF                 ; the stack grows down from $01FF

; ---- the stream's header copy at $1100
STREAM        = $1100
HDR_EOF       = STREAM + $04
HDR_PSG_CLOCK = STREAM + $0C
HDR_LOOP      = STREAM + $1C
HDR_PSGFLG    = STREAM + $2B
HDR_OPN_CLOCK = $2C               ; (offset)
OPN_CLOCK     = 7670453
HDR_OPM_CLOCK = $30
HDR_OPLL_CLOCK = $10
OPLL_CLOCK    = 3579545
OPM_CLOCK     = 3579545
HDR_DATA      = STREAM + $34
NTSC_CLOCK    = 3579545
HEAP_END      = $E000
SLOT_SIZE     = 48                ; a waveform cache slot (waveform.s)             ; below the 64 bytes the boot ROM can cover

; Channel numbers: PSG tones 0-2 and noise 3; the YM2612's 1-6 are 4-9.
CH_NOISE = 3
CH_OPN = 4
CH_DAC = 10
CH_OPM = 11
CH_OPLL = 19
CH_HH = 28                        ; the YM2413's noise drums: hi-hat, snare, top cymbal
CH_SD = 29
CH_TCY = 30
DAC_BLOCKS = 8                    ; data blocks of the PCM bank that are remembered
FIRST_FM_CHANNEL = CH_OPN
CHANNELS = 31

; ---- sample directory and built-in samples
DIRECTORY = $0200
.org $0240
; One block, 8 samples at +7 and 8 at -7: a 16-sample period. Shift 10 keeps a voice at
; full volume near 7000, so five voices never clip. Header $A3: shift 10, filter 0, loop+end.
square:
    .db $A3, $77, $77, $77, $77, $99, $99, $99, $99
; The waveform cache's slot 0 (waveform.s): a sine, as the synthesis makes it for operator
; 4 alone (algorithm 7).
SLOT0:
    .db 1, 7, 1, 1, 1, 1, $7F, $7F, $7F, 0
    .db $A0, $01, $12, $33, $44, $55, $66, $67, $77, $A0, $77, $77, $66, $65, $54, $43
    .db $32, $11, $A0, $0F, $FE, $DD, $CC, $BB, $AA, $A9, $99, $A3, $99, $99, $AA, $AB
    .db $BC, $CD, $DE, $FF
    .db (7 + 4 + $7F * 3) & $FF   ; the hash of its signature (mod 256)
    .ds SLOT_SIZE - 47
; voice tables read less often than those of the direct page
v_age:                            ; 8: 0 while keyed, then 1, 2, ... as others are released
    .ds 8
v_timer:                          ; 8: 4 ms ticks until the envelope switch, 0 for none
    .ds 8
v_gain_next:                      ; 8: GAIN value of that switch
    .ds 8
v_entry:                          ; 8: which of the voice's directory entries it plays
    .ds 8
; the PCM bank's data blocks (dac.s): offset in the bank, size, address
dac_start_lo:
    .ds DAC_BLOCKS
dac_start_hi:
    .ds DAC_BLOCKS
dac_size_lo:
    .ds DAC_BLOCKS
dac_size_hi:
    .ds DAC_BLOCKS
dac_data_lo:
    .ds DAC_BLOCKS
dac_data_hi:
    .ds DAC_BLOCKS
dac_samples:                      ; 16: the samples being converted
    .ds 16
; the rest of fm.s's work record: for operators 1-4
w_cyc2:                           ; cycles a note period, in halves
    .ds 4
w_tl:                             ; TL in 0.75 dB steps
    .ds 4
w_ar:                             ; rates R (0-63)
    .ds 4
w_d1r:
    .ds 4
w_d2r:
    .ds 4
w_rr:
    .ds 4
w_d1l:                            ; sustain level in 3 dB steps
    .ds 4
.assert * <= $0500, "data runs into the code"

; ---- start
.org $0500
start:
    CLRP                          ; direct page 0
    MOV X,#STACK_TOP
    MOV SP,X
    ; The timer runs from the first instruction on, so the time spent setting up counts
    ; against the song's first wait and everything after it keeps its place.
    MOV CONTROL,#$00              ; timers off, IPL ROM unmapped
    MOV T2TARGET,#32              ; timer 2: 64000 / 32 = 2000 ticks per second
    MOV T0TARGET,#32              ; timer 0: 8000 / 32 = 250 ticks per second (4 ms)
    MOV CONTROL,#$05              ; timers 0 and 2 on (this restarts their counters)
    MOV A,#0
    MOV X,#0
.clear:
    MOV (X)+,A                    ; clear the variables
    CMP X,#dp_end
    BNE .clear
    MOV A,#$FF
    MOV X,#7
.voices:
    MOV v_owner+X,A
    DEC X
    BPL .voices
    MOV X,#31
.channels:
    MOV !ch_voice+X,A
    DEC X
    BPL .channels
    CALL dsp_setup
    CALL poll                     ; the timer's counter holds 15 ticks (3.75 ms)
    CALL read_header
    CALL psg_init
    CALL fm_init
    CALL heap_setup
    MOV Y,#0
    JMP group

; dsp_setup: programs every DSP register the player relies on, from scratch.
dsp_setup:
    MOV A,#FLG
    MOV Y,#$60 | FLG_ECHO_OFF     ; muted while setting up
    MOVW DSPADDR,YA
    MOV A,#KOFF
    MOV Y,#$FF
    MOVW DSPADDR,YA
    MOV X,#0
.global:
    MOV A,!init_regs+X            ; register, value pairs up to $FF
    CMP A,#$FF
    BEQ .voices
    MOV DSPADDR,A
    INC X
    MOV A,!init_regs+X
    MOV DSPDATA,A
    INC X
    BRA .global
.voices:
    MOV X,#7                      ; every voice silent, GAIN mode
.voice:
    CALL voice_off
    DEC X
    BPL .voice
    MOV A,#KOFF                   ; KOFF must be clear for key-ons to sound; releases
    MOV Y,#0                      ; are GAIN settings, so it stays clear
    MOVW DSPADDR,YA
    MOV A,#FLG
    MOV Y,#FLG_ECHO_OFF           ; unmuted, echo writes stay off
    MOVW DSPADDR,YA
    RET

; Registers set once: echo silent and harmless (muted return, no feedback, no voice sends,
; writes off, so that its 4-byte buffer, wherever it is, is only read), no pitch modulation, no DSP noise, the
; sample directory, main volume. The FIR taps only shape the echo return,
; which EVOL mutes, so they are left as they are.
; Main volume 96/128: four tone voices at full level sum to about 28000 inside the DSP;
; SPC players amplify the DSP output further (libgme by about 1.28), and 96 keeps that sum
; below full scale there as well.
MAIN_VOLUME = 96
init_regs:
    .db MVOLL, MAIN_VOLUME, MVOLR, MAIN_VOLUME, EVOLL, 0, EVOLR, 0, EFB, 0, EON, 0, EDL, 0
    .db ESA, $FF, PMON, 0, NON, 0, DIR, hi(DIRECTORY)
    .db $FF

; read_header: the data start, the loop point and the end of the flag groups.
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
    MOV A,ptr
    CMP A,#$40
    BCS .start_ok
    MOV ptr,#$40
.start_ok:
    CLRC
    ADC ptr+1,#hi(STREAM)
    ; the flag groups end at the end-of-file field + 4: the heap starts there
    MOV heap,#lo(HEAP_END)
    MOV heap+1,#hi(HEAP_END)
    MOV A,!HDR_EOF+2
    OR A,!HDR_EOF+3
    BNE .loop
    MOV A,!HDR_EOF
    MOV Y,!HDR_EOF+1
    MOVW tmp,YA
    MOV A,#4 + lo(STREAM)
    MOV Y,#hi(STREAM)
    ADDW YA,tmp
    BCS .loop
    CMPW YA,heap
    BCS .loop
    MOVW heap,YA
.loop:
    ; loop point = field $1C + $1C when the field is not 0; kept only when it lies
    ; inside the flag groups (data start up to the heap)
    MOV A,!HDR_LOOP+2
    OR A,!HDR_LOOP+3
    BNE .no_loop
    MOV A,!HDR_LOOP
    MOV Y,!HDR_LOOP+1
    MOVW loop_at,YA
    MOVW YA,loop_at
    BEQ .no_loop
    MOV A,#$1C + lo(STREAM)
    MOV Y,#hi(STREAM)
    ADDW YA,loop_at
    BCS .no_loop
    MOVW loop_at,YA
    CMPW YA,ptr
    BCC .no_loop
    CMPW YA,heap
    BCC .loop_ok
.no_loop:
    MOV A,#0
    MOV Y,#0
    MOVW loop_at,YA
.loop_ok:
    RET

; heap_setup: the noise samples when the song has a PSG and they fit, then the waveform cache.
heap_setup:
    MOVW YA,heap                  ; room = HEAP_END - heap
    MOVW tmp,YA
    MOV A,#lo(HEAP_END)
    MOV Y,#hi(HEAP_END)
    SUBW YA,tmp
    CMP Y,#hi(WHITE_NOISE_SIZE + PULSE_SIZE) + 1
    BCC .square_noise
    CALL make_noise
    JMP cache_setup
.square_noise:
    MOV A,#lo(square)             ; no room: the square wave stands in for both
    MOV Y,#hi(square)
    MOVW pulse_noise,YA
    MOVW white_noise,YA
    JMP cache_setup

.include "stream.s"
.include "voices.s"
.include "psg.s"
.include "noise.s"
low_code_end:
.assert low_code_end <= $1100, "the player must end below the stream at $1100"
; DEVELOPMENT ONLY: the FM code at $E000 until it fits below $1100
.org $E000
.include "fm.s"
.include "waveform.s"
.include "ym2612.s"
.include "dac.s"
.include "ym2151.s"
.include "ym2413.s"
.include "stubs.s"

code_end:
.assert code_end <= $F800, "dev area"
