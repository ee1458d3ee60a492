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
frac        = owed + 3            ; timer ticks towards the 40th (its extra sample)
flags       = frac + 1            ; flag byte of the current group, shifted once per entry
entries     = flags + 1           ; entries left in the current group
cmd         = entries + 1         ; command byte of the current entry
pending     = cmd + 1             ; bit 0 PSG, 1 FM, 2 DAC: something to flush
kon_bits    = pending + 1         ; voices to key on at the end of this flush
ticks4      = kon_bits + 1        ; 4 ms ticks being handled by housekeeping
tmp         = ticks4 + 1          ; word: scratch
sample      = tmp + 2             ; word: scratch of the voice helpers
heap        = sample + 2          ; word: first free heap byte
dst         = heap + 2            ; word: write pointer of the sample makers
count       = dst + 2             ; loop counter
bits        = count + 1           ; loop counter
lfsr        = bits + 1            ; word: the noise maker's shift register
; voices
v_owner     = lfsr + 2            ; 8: channel of each voice, $FF when free
v_level     = v_owner + 8         ; 8: loudness of its note (0-127)
v_age       = v_level + 8         ; 8: 0 while keyed, then 1, 2, ... as others are released
v_timer     = v_age + 8           ; 8: 4 ms ticks until the envelope switch, 0 for none
v_gain_next = v_timer + 8         ; 8: GAIN value of that switch
v_entry     = v_gain_next + 8     ; 8: which of the voice's directory entries it plays
new_owner   = v_entry + 8
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
white_noise = noise_restart + 1   ; word: the white noise sample
pulse_noise = white_noise + 2     ; word: the periodic noise sample
noise_dst   = pulse_noise + 2     ; word: where the next white noise block goes
noise_blocks = noise_dst + 2      ; white noise blocks still to make
dp_end      = noise_blocks + 1
.assert dp_end <= $F0, "direct page variables run into the I/O registers"

; ---- page 1
SYNTH_BUFFER = $0100              ; 64 signed 16-bit samples of the waveform being made
ch_voice    = $0180               ; 32: voice of each channel, $FF for none
page1_end   = ch_voice + 32
.assert page1_end <= $01D0, "page 1 tables run into the stack"
STACK_TOP   = $FF                 ; the stack grows down from $01FF

; ---- the stream's header copy at $1100
STREAM        = $1100
HDR_EOF       = STREAM + $04
HDR_PSG_CLOCK = STREAM + $0C
HDR_LOOP      = STREAM + $1C
HDR_PSGFLG    = STREAM + $2B
HDR_DATA      = STREAM + $34
NTSC_CLOCK    = 3579545
HEAP_END      = $FFC0             ; below the 64 bytes the boot ROM can cover

; Channel numbers: PSG tones 0-2 and noise 3.
CH_NOISE = 3

; ---- sample directory and built-in samples
DIRECTORY = $0200
.org $0240
; One block, 8 samples at +7 and 8 at -7: a 16-sample period. Shift 10 keeps a voice at
; full volume near 7000, so five voices never clip. Header $A3: shift 10, filter 0, loop+end.
square:
    .db $A3, $77, $77, $77, $77, $99, $99, $99, $99
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
    MOV T2TARGET,#16              ; timer 2: 64000 / 16 = 4000 ticks per second
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
; the 4-byte buffer in a page of ours, writes off), no pitch modulation, no DSP noise, the
; sample directory, main volume. The FIR taps only shape the echo return,
; which EVOL mutes, so they are left as they are.
; Main volume 96/128: four tone voices at full level sum to about 28000 inside the DSP;
; SPC players amplify the DSP output further (libgme by about 1.28), and 96 keeps that sum
; below full scale there as well.
MAIN_VOLUME = 96
init_regs:
    .db MVOLL, MAIN_VOLUME, MVOLR, MAIN_VOLUME, EVOLL, 0, EVOLR, 0, EFB, 0, EON, 0, EDL, 0
    .db ESA, hi(echo_area), PMON, 0, NON, 0, DIR, hi(DIRECTORY)
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
    JMP make_noise
.square_noise:
    MOV A,#lo(square)             ; no room: the square wave stands in for both
    MOV Y,#hi(square)
    MOVW pulse_noise,YA
    MOVW white_noise,YA
    RET

.include "stream.s"
.include "voices.s"
.include "psg.s"
.include "noise.s"
.include "stubs.s"

code_end:
.assert code_end <= $1000, "code runs into the echo page"

; The echo unit's buffer (4 bytes with EDL 0); FLG bit 5 keeps it from being written.
.org $1000
echo_area:
    .ds 4
.assert * <= $1100, "the player must end below the stream at $1100"
