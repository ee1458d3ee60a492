; brevox SPC700 player: plays the packed stream that the converter puts at STREAM, turning
; the register writes of the SN76489, YM2612, YM2151 and YM2413 into the S-DSP's eight
; voices. The YM2612's DAC is read and skipped: it did not fit in the 4352 bytes below the
; stream beside the rest.
;
; Sound RAM:
;   $0000-$00EF  direct page variables (from RUNTIME_DP: 0 at the start)
;   $00F0-$00FF  I/O registers
;   $0100-       the synthesis's direct page, then the channel tables, then code (noise.s,
;                rhythm.s)
;   $01E0-$01FF  stack
;   $0200-$023F  sample directory, two entries per voice (voices.s)
;   $0240-$04FF  code and tables (ym2413.s, psg_levels.s, synth_tables.s, init.s's resident
;                part)
;   $0500-$10FF  the entry point, then code (the rest)
;   STREAM-      the packed stream: header copy, flag groups, tail. From the end of the
;                flag groups lies the heap (the PSG's noise samples, the cache of FM
;                waveforms), up to the chips' register copies near the top of RAM
;                (ym2612.s, ym2151.s, ym2413.s).
;   $FFC0-$FFDF  the TCALL vectors (RAM once the boot ROM is unmapped; the stream never
;                reaches it)
; The start-up code runs once, from the direct page above RUNTIME_DP, page 1's tables, the
; directory and the stack's lower part, before those areas take their tables (init.s).
;
; Files: init.s (start-up), stream.s (commands and time), voices.s (the voice pool), psg.s,
; psg_levels.s and noise.s (the SN76489), fm.s (what every FM chip shares), waveform.s
; (waveforms from the operator graph and their cache) and synth_tables.s (its quarter-wave
; table and stand-in sine), ym2612.s, ym2151.s, ym2413.s and rhythm.s (the YM2413's drums).

.include "dsp.s"

; ---- direct page
; First what the start-up code sets or the image brings, then from RUNTIME_DP on what only
; the playing touches: every byte of it is 0 at the start, so the start-up code can run
; from there (init.s) and `finish` clears it.
ptr         = $00                 ; word: stream position (with Y, see stream.s)
loop_at     = ptr + 2             ; word: loop point, 0 when the song does not loop
owed        = loop_at + 2         ; 3 bytes, signed: samples still to wait
frac        = owed + 3            ; timer ticks towards the 20th (its extra sample)
flags       = frac + 1            ; flag byte of the current group, shifted once per entry
entries     = flags + 1           ; entries left in the current group
cmd         = entries + 1         ; command byte of the current entry
pending     = cmd + 1             ; bit 0 PSG, 1 FM: something to apply
kon_bits    = pending + 1         ; voices to key on at the end of this flush
rel_bits    = kon_bits + 1        ; voices whose release is held back until the commit
due_at      = rel_bits + 1        ; word: owed at which the commands read are due
tmp         = due_at + 2          ; word: scratch
tmp_poll    = tmp + 2             ; word: scratch of poll
sample      = tmp_poll + 2        ; word: scratch of the voice helpers
heap        = sample + 2          ; word: first free heap byte
heap_end    = heap + 2            ; word: end of the heap (the lowest register copies kept)
chips       = heap_end + 2        ; bit 0: the YM2612's and YM2413's copies fit, bit 1 the YM2151's
dst         = chips + 1           ; word: write pointer of the sample makers
count       = dst + 2             ; loop counter
lfsr        = count + 1           ; word: the noise maker's shift register
num         = lfsr + 2            ; 4 bytes: division dividend, then quotient
v_owner     = num + 4             ; 8: channel of each voice, $FF when free
; SN76489
latch       = v_owner + 8         ; register latched by the last latch byte (0-7)
psg_dirty   = latch + 1           ; bit r: PSG register r changed since the last flush
stereo      = psg_dirty + 1       ; Game Gear stereo byte: bit 4+c = channel c left, bit c right
zero_1k     = stereo + 1          ; 4 when a period of 0 means 1024 (TI chips; header $2B), else 0
regl        = zero_1k + 1         ; 8: PSG registers, bits 3-0
regh        = regl + 8            ; 8 by chreg, two tables interleaved: regh + chreg bits 9-4
row_base    = regh + 1            ;   of a tone's period; row_base + chreg the channel's first
                                  ;   level row (0, or 15 while it cannot be heard)
white_noise = regh + 8            ; word: the white noise sample (0 while being made)
pulse_noise = white_noise + 2     ; word: the periodic noise sample
noise_dst   = pulse_noise + 2     ; word: where the white noise made so far starts
noise_blocks = noise_dst + 2      ; white noise blocks still to make
; clock constants (init.s): 3 bytes each
kconst      = noise_blocks + 1    ; the PSG's clock * 0.256, so that pitch = kconst / 4 / N
kf_opn      = kconst + 3          ; the YM2612's clock * 2 / 1125
kf_opm      = kf_opn + 3          ; the YM2151's clock * 4 / 437
kf_opll     = kf_opm + 3          ; the YM2413's clock * 16 / 1125
; waveform cache
slot_base   = kf_opll + 3         ; word
slot_count  = slot_base + 2
slots_used  = slot_count + 1      ; slots 0 to this - 1 have held a waveform
bit_of      = slots_used + 1      ; 8: $01, $02, ... $80 (the image brings them)

RUNTIME_DP  = bit_of + 8
; voices
v_level     = RUNTIME_DP          ; 8: loudness of its note (0-127), 0 once released
v_slot      = v_level + 8         ; 8: the waveform slot it plays
v_want      = v_slot + 8          ; 8: the slot it waits for (its patch's)
v_entry     = v_want + 8          ; 8: which of the voice's directory entries it plays
v_release   = v_entry + 8         ; 8: the GAIN of a release held back (stream.s, commit);
                                  ;   until then age_clock at its note's start (poll)
new_owner   = v_release + 8
alloc_level = new_owner + 1
best        = alloc_level + 1
best_voice  = best + 1
; SN76489 work
chreg       = best_voice + 1      ; 2 * the channel being updated: its first register
sides       = chreg + 1           ; the stereo byte shifted right by that channel
vol         = sides + 1           ; its VOL
gain        = vol + 1             ; its GAIN
new_voice   = gain + 1            ; bit 6: its sample starts (a new voice, a noise write)
psg_written = new_voice + 1       ; psg_dirty as the writes left it (bit 6: the noise's register)
rem         = psg_written + 1     ; word: division remainder
den         = rem + 2             ; word: divisor
psg_pitch   = den + 2             ; 8: word by chreg, the DSP pitch of each channel
; FM
channel     = psg_pitch + 8       ; the channel being brought to the DSP
voice       = channel + 1         ; its voice ($FF none)
events      = voice + 1           ; its ch_flags at this flush
sub         = events + 1          ; its number within its chip
w_alg       = sub + 1             ; work record: algorithm (0-7, 8 the YM2413's)
w_fb        = w_alg + 1           ; feedback 0-7
w_pan       = w_fb + 1            ; bit 7 left, bit 6 right
w_wave      = w_pan + 1           ; bit k: operator k + 1 is a half sine
key_code    = w_wave + 1          ; 0-31, for the key scaling
ks_add      = key_code + 1
op_first    = ks_add + 1          ; load_operators: first register, register step
op_step     = op_first + 1
reg_ptr     = op_step + 1         ; word
sig         = reg_ptr + 2         ; 9: signature of the work record's waveform
carriers    = sig + 9             ; bit k: operator k + 1 is a carrier
note_tl     = carriers + 1        ; the loudest carrier's TL
note_vol    = note_tl + 1         ; its VOL
main_op     = note_vol + 1        ; its operator (0-3)
env_adsr1   = main_op + 1         ; note_envelope's scratch
env_d1      = env_adsr1 + 1
pitch64     = env_d1 + 1          ; word: DSP pitch of a 64-sample period
fnum        = pitch64 + 2         ; word
kf          = fnum + 2            ; word: clock constant of fnum_pitch
product     = kf + 2              ; 4
opll_sus    = product + 4         ; key register of the YM2413 channel loaded (noise drum: 0)
rhythm      = opll_sus + 1        ; bit 5: the YM2413 is in rhythm mode (its register $0E)
opn_latch   = rhythm + 1          ; the last $A4-$A6 byte
opn_port    = opn_latch + 1       ; 0 or 3: the first channel of the port being written
; the rest of fm.s's work record: for operators 1-4
w_cyc2      = opn_port + 1        ; cycles a note period, in halves
w_tl        = w_cyc2 + 4          ; TL in 0.75 dB steps
w_ar        = w_tl + 4            ; rates R (0-63)
w_d1r       = w_ar + 4
w_d2r       = w_d1r + 4
w_rr        = w_d2r + 4
w_d1l       = w_rr + 4            ; sustain level in 3 dB steps
; waveform cache work
slot        = w_d1l + 4
slot_ptr    = slot + 1            ; word
slot_next   = slot_ptr + 2
queued      = slot_next + 1       ; slots waiting to be made
; load_operators: operators not keyed, from operator 4 down in bits 7-4 (then 0: every
; operator keyed, as for the YM2612)
op_keys     = queued + 1
age_clock   = op_keys + 1         ; counts 10 ms steps (poll), for the notes' ages
dp_end      = age_clock + 1
RUNTIME_DP_END = $F0
.assert dp_end <= $F0, "direct page variables run into the I/O registers"

; The direct page's first values come with the image (every other byte is 0).
.org v_owner
    .fill 8, $FF                  ; every voice free
.org stereo
    .db $FF                       ; every PSG channel on both sides until a stereo byte
.org regl+1
    .db $0F, 0, $0F, 0, $0F, 0, $0F  ; every PSG channel silent until the song sets it
.org psg_dirty
    .db $55                       ; at the first flush: tone periods 0 (muted, or 1024
.org pending                      ; on TI chips), noise control 0
    .db 1
.org bit_of
    .db $01, $02, $04, $08, $10, $20, $40, $80
.org heap_end
    .dw BOOT_ROM              ; the heap's end until the copies that fit are known
.org lfsr
    .dw WHITE_NOISE_END_STATE     ; the white noise is made from its end back (noise.s)
.org slots_used
    .db 1                         ; slot 0, the sine, has held a waveform

; Channel numbers: PSG tones 0-2 and noise 3; the YM2612's 1-6 are 4-9; the YM2151's 1-8
; are 10-17; the YM2413's 1-9 are 18-26, its noise drums 27-29.
CH_NOISE = 3
CH_OPN = 4
CH_OPM = 10
CH_OPLL = 18
CH_HH = 27                        ; the YM2413's noise drums: hi-hat, snare, top cymbal
CH_SD = 28
CH_TCY = 29
CHANNELS = 30

; The routines called most are called with TCALL (one byte against CALL's three), through
; the vectors at $FFC0-$FFDF, RAM once the boot ROM is unmapped: TCALL n jumps through
; $FFDE - 2n. The start-up writes them (init.s, tcall_vectors).
T_POLL = 0
T_SLOT_ADDRESS = 1
T_NEXT_REGISTER = 2
T_RATE_OF = 3
T_NORMALIZE = 4
T_OPLL_DECAY = 5
T_NOTE_PITCH = 6
T_FM_MARK = 7
T_FNUM_PITCH = 8
T_KEY_CHANGE = 9
T_VOICE_SAMPLE = 10
T_VOICE_KEY_ON = 11
T_OPN_REGISTERS = 12
T_LOAD_CHANNEL = 13
T_DECAY_RATE = 14
T_CHANNEL_CHIP = 15
TCALLS = 16
TCALL_VECTORS = $FFDE - 2 * (TCALLS - 1)

; ---- page 1: the synthesis's direct page (waveform.s runs with SETP), channel tables,
; the stack
S_PAGE      = $0100
; from s_phase to s_zero_end: 0 when a waveform starts
s_phase     = $00                 ; 4: operators' sine index
s_m         = s_phase + 4         ; 4: outputs' low bytes (the fourth: operator 1's feedback)
s_h1        = s_m + 4             ; word: operator 1's last output
s_h2        = s_h1 + 2            ; word: the one before
s_count     = s_h2 + 2            ; samples made so far (0-63)
acc         = s_count + 1         ; word: the carriers' amplitudes summed, then the sample
s_zero_end  = acc + 2
s_sig       = s_zero_end          ; a copy of the slot's signature: algorithm and feedback,
s_step      = s_sig + 1           ; 4: cycles a period, then sine steps a sample
s_half      = s_step + 4          ; 4: levels, bit 7 half sine
s_amp       = s_half + 4          ; 4: amplitude 0-255
s_in        = s_amp + 4           ; 4: inputs (bit j: operator j + 1, bit 3 the feedback)
s_fbshift   = s_in + 4            ; 9 - FB
s_car       = s_fbshift + 1       ; the carriers (bit k: operator k + 1)
s_cars      = s_car + 1           ; those still to add this sample
s_slot      = s_cars + 1          ; word
s_dst       = s_slot + 2          ; word
s_making    = s_dst + 2           ; the slot being made, NOT_MAKING when none
k_shift     = s_making + 1        ; the waveform's BRR shift k, plus 1
header      = k_shift + 1         ; its BRR block header
carried     = header + 1          ; the operator's amplitude this sample
inputs      = carried + 1
index       = inputs + 1
value       = index + 1           ; word
s_end       = value + 2
NOT_MAKING  = $FF
ch_voice    = S_PAGE + s_end      ; CHANNELS: voice of each channel, $FF for none
ch_flags    = ch_voice + CHANNELS ; CHANNELS: fm.s F_... bits
page1_end   = ch_flags + CHANNELS
STACK_BOTTOM = $01E0              ; the stack: $01E0-$01FF, growing down from $01FF
STACK_TOP   = $FF

; ---- the stream's header copy
STREAM        = $1100
HDR_EOF       = STREAM + $04
HDR_LOOP      = STREAM + $1C
HDR_PSGFLG    = STREAM + $2B
HDR_DATA      = STREAM + $34
BOOT_ROM      = $FFC0              ; the stream ends below it; RAM once the ROM is unmapped
.assert TCALL_VECTORS >= BOOT_ROM, "the TCALL vectors lie where the stream never goes"
SLOT_SIZE     = 48                ; a waveform cache slot (waveform.s)


; ---- the sample directory
DIRECTORY = $0200
DIRECTORY_END = DIRECTORY + 64

; ---- code and constants, in the three places that the tables leave: page 1 above its
; tables, page 2 above the directory, and $0500 (the entry point) up to the stream
.org page1_end
.include "noise.s"
.include "rhythm.s"
.assert * <= STACK_BOTTOM, "page 1's code runs into the stack"

.org DIRECTORY_END
.include "ym2413.s"
.include "psg_levels.s"
.include "synth_tables.s"
.include "init.s"                 ; (its resident part here, the rest where tables go later)
.assert * <= $0500, "page 2's code runs into the entry point"

.org $0500
start:
    JMP init
.include "stream.s"
.include "fm.s"
.include "waveform.s"
.include "ym2612.s"
.include "ym2151.s"
.include "psg.s"
.include "voices.s"
code_end:
.assert code_end <= STREAM, "the player must end below the stream"
