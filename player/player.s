; brevox SPC700 player: plays the packed SN76489 stream that the converter puts at $1100.
;
; Memory (everything of ours lies in $0000-$10FF; the stream follows at $1100):
;   $0000-$00EF  direct page variables        $00F0-$00FF  I/O registers
;   $0100-$01FF  stack                        $0200-       sample directory, BRR samples
;   $0500-       code, tables, noise sample   $1000-$1003  the echo unit's 4-byte buffer
;
; Voices: 0-2 play the PSG's tone channels with a looped square wave, voice 3 plays white
; noise from a looped sample of the PSG's own shift-register bits, voice 4 plays periodic
; noise as a looped pulse wave. (The DSP's noise generator is not used: its samples are
; the whole shift register, whose spectrum lacks the low end of the PSG's noise.) Every voice is keyed on
; once at start in direct GAIN mode; afterwards only VOL, GAIN, pitch and the noise clock
; change, so there is no key-on delay and no envelope click.
;
; Time: VGM waits count samples at 44100 Hz. Timer 2 ticks at 4000 Hz (64000 / 16); one
; tick is 11.025 samples = 441/40. The player keeps "owed", the time still to wait, in
; 1/40 samples: a wait adds n * 40, every tick takes 441 away. The count is exact, so the
; position never drifts, and ticks that pass while commands run count against the next wait.

.include "dsp.s"

; ---- direct page variables
ptr      = $00   ; word: next stream byte
loop_at  = $02   ; word: loop point (flag byte of a group), 0 when the song does not loop
owed     = $04   ; 3 bytes, signed: time still to wait, in 1/40 samples
flags    = $07   ; flag byte of the current group, shifted right once per entry
entries  = $08   ; entries left in the current group
cmd      = $09   ; command byte of the current entry
latch    = $0A   ; PSG register latched by the last latch byte (0-7)
dirty    = $0B   ; bit r: PSG register r changed since the DSP was last updated
stereo   = $0C   ; Game Gear stereo byte: bit 4+c = channel c left, bit c = right
zero_1k  = $0D   ; bit 0: a period of 0 means 1024 (TI chips; header $2B bit 0)
chreg    = $0E   ; tone register of the channel being updated (0, 2, 4)
vmask    = $0F   ; stereo bits of the channel being updated ($11 << channel)
kconst   = $10   ; 3 bytes: clock * 0.064, so that pitch = kconst / N
num      = $14   ; 4 bytes: division dividend, then quotient
rem      = $18   ; word: division remainder
den      = $1A   ; word: divisor (the period N)
pitch    = $1C   ; word: result of period_pitch
count    = $1E   ; loop counter
vol      = $1F   ; scratch of set_volume
tmp      = $20   ; word: scratch
tick     = $22   ; word: scratch of poll
regl     = $28   ; 8 bytes: PSG registers, bits 7-0
regh     = $30   ; 8 bytes: PSG registers, bits 9-8 (tone periods only)
muted    = $38   ; 6 bytes, indexed by chreg: 1 while the channel's period is too short to hear
noise_set = $3E  ; bit 0: the noise clock has been set
noise_reset = $3F ; bit 0: the noise register was written since the last flush
cptr     = $40   ; word: pitch cache entry of the current period
use_cache = $42  ; bit 0: the pitch cache is usable; bit 1: it is being cleared
cleared  = $43   ; steps of clear_step done (0-255)
dp_end   = $44

STREAM     = $1100
HDR_EOF    = STREAM + $04
HDR_CLOCK  = STREAM + $0C
HDR_GD3    = STREAM + $14
HDR_LOOP   = STREAM + $1C
HDR_PSGFLG = STREAM + $2B
HDR_DATA   = STREAM + $34
NTSC_CLOCK = 3579545
; Pitch cache: one word per period (index N & $3FF), 0 until computed. It takes the top
; 2 KB below $FFC0 when the stream leaves them free, and is cleared before use.
PITCH_CACHE = $F7C0

; ---- sample directory and BRR samples
.org $0200
sample_dir:
    .dw square, square            ; sample 0: square wave (tones, and behind the noise)
    .dw pulse, pulse              ; sample 1: periodic-noise pulse
    .dw noise, noise              ; sample 2: white noise
; One block, 8 samples at +7 and 8 at -7: a 16-sample period. Shift 10 keeps a voice at
; full volume near 7000, so five voices never clip. Header $A3: shift 10, filter 0, loop+end.
square:
    .db $A3, $77, $77, $77, $77, $99, $99, $99, $99
; The PSG's periodic noise is one pulse in 16 shifts, and the shift clock runs at the tone
; rate of its period. Here 16 blocks of 16 samples, the last one high (after a reset the
; register's one bit reaches the output at the 16th shift): played at the tone pitch of
; that period, each block lasts one shift. High 7168 (shift 11) and low -448 (shift 7)
; make the pulse almost free of DC (mean +28), which would only eat headroom.
pulse:
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $70, $99, $99, $99, $99, $99, $99, $99, $99
    .db $B3, $77, $77, $77, $77, $77, $77, $77, $77
.assert * <= $0500, "samples run into the code"

; ---- start
.org $0500
start:
    CLRP                          ; direct page 0
    MOV X,#$FF
    MOV SP,X                      ; stack from $01FF down
    ; The timer runs from the first instruction on, so the time spent setting up counts
    ; against the song's first wait and everything after it keeps its place.
    MOV CONTROL,#$00              ; timers off, IPL ROM unmapped
    MOV T2TARGET,#16              ; 64000 / 16 = 4000 ticks per second
    MOV CONTROL,#$04              ; timer 2 on (this restarts its counters)
    MOV A,#0
    MOV X,#0
.clear:
    MOV (X)+,A                    ; clear the variables
    CMP X,#dp_end
    BNE .clear
    CALL dsp_setup
    CALL read_header
    CALL check_cache
    MOV stereo,#$FF               ; every channel on both sides until a stereo byte
    MOV A,#$0F                    ; every channel silent until the song sets it (the
    MOV regl+1,A                  ; voices already are)
    MOV regl+3,A
    MOV regl+5,A
    MOV regl+7,A
    MOV dirty,#$15                ; tone periods 0 (muted, or 1024 on TI chips)
    CALL flush
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
    MOV X,#0                      ; X = DSP register: voices 0-4 silent, GAIN mode
.vreg:
    MOV DSPADDR,X
    MOV A,X
    AND A,#$07
    MOV Y,A
    MOV A,!voice_init+Y
    MOV DSPDATA,A
    INC X
    CMP Y,#7
    BNE .vreg
    MOV A,X                       ; registers 8-F of a voice are status, unused or FIR
    CLRC
    ADC A,#8
    MOV X,A
    CMP X,#$50
    BNE .vreg
    MOV A,#$30 | V_SRCN           ; voice 3 plays the noise sample
    MOV Y,#2
    MOVW DSPADDR,YA
    MOV A,#$40 | V_SRCN           ; voice 4 plays the pulse
    MOV Y,#1
    MOVW DSPADDR,YA
    MOV A,#KOFF                   ; KOFF must be clear for the key-on to sound
    MOV Y,#0
    MOVW DSPADDR,YA
    MOV A,#FLG
    MOV Y,#FLG_ECHO_OFF           ; unmuted, echo writes stay off
    MOVW DSPADDR,YA
    MOV A,#KON                    ; the only key-on: voices 0-4, envelope still 0
    MOV Y,#$1F
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
    .db ESA, hi(echo_area), PMON, 0, NON, 0, DIR, hi(sample_dir)
    .db $FF
; VOLL, VOLR, PITCHL, PITCHH, SRCN, ADSR1 (bit 7 clear: GAIN mode), ADSR2, GAIN (direct 0)
voice_init:
    .db 0, 0, $00, $10, 0, 0, 0, 0

; read_header: the pitch constant from the clock, the data start and the loop point.
read_header:
    MOV A,!HDR_PSGFLG
    MOV zero_1k,A
    ; clock: field $0C without the dual-chip bits 30-31; 0 means the NTSC clock
    MOV A,!HDR_CLOCK
    MOV num,A
    MOV A,!HDR_CLOCK+1
    MOV num+1,A
    MOV A,!HDR_CLOCK+2
    MOV num+2,A
    MOV A,!HDR_CLOCK+3
    AND A,#$3F
    MOV num+3,A
    OR A,num
    OR A,num+1
    OR A,num+2
    BNE .clock
    MOV num,#lo(NTSC_CLOCK)
    MOV num+1,#hi(NTSC_CLOCK)
    MOV num+2,#NTSC_CLOCK >> 16
.clock:
    ; kconst = clock * 8 / 125 = clock * 0.064: a 16-sample wave sounds at f for pitch
    ; P = f * 16 * 4096 / 32000, and f = clock / (32 N), so P = clock * 0.064 / N.
    MOV count,#3
.times8:
    ASL num
    ROL num+1
    ROL num+2
    ROL num+3
    DBNZ count,.times8
    ; divide by 125 a byte at a time, high byte first: the remainder in Y stays below
    ; 125, so every DIV quotient fits in 8 bits
    MOV X,#125
    MOV Y,#0
    MOV A,num+3
    DIV YA,X
    MOV A,num+2
    DIV YA,X
    MOV kconst+2,A
    MOV A,num+1
    DIV YA,X
    MOV kconst+1,A
    MOV A,num
    DIV YA,X
    MOV kconst,A
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
    ; loop point = field $1C + $1C when the field is not 0; kept only when it lies
    ; inside the flag groups (data start up to the end-of-file offset + 4)
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
    MOV A,!HDR_EOF
    MOV Y,!HDR_EOF+1
    MOVW tmp,YA
    MOV A,#4 + lo(STREAM)
    MOV Y,#hi(STREAM)
    ADDW YA,tmp
    MOVW tmp,YA
    MOVW YA,loop_at
    CMPW YA,tmp
    BCC .loop_ok
.no_loop:
    MOV A,#0
    MOV Y,#0
    MOVW loop_at,YA
.loop_ok:
    RET

; check_cache: the pitch cache can be used when the stream (the flag groups, and the tag
; behind them when the header points at one) ends at or below PITCH_CACHE; it is then
; cleared first, a step at a time.
check_cache:
    MOV A,!HDR_GD3+2
    OR A,!HDR_GD3+3
    BNE .no
    MOV A,!HDR_GD3
    MOV Y,!HDR_GD3+1
    MOVW tmp,YA
    MOVW YA,tmp
    BEQ .groups
    MOV A,#lo(HDR_GD3)            ; tag at $1114 + field: "Gd3 ", version, 32-bit length
    MOV Y,#hi(HDR_GD3)
    ADDW YA,tmp
    BCS .no
    MOVW tmp,YA
    MOV Y,#10
    MOV A,[tmp]+Y
    MOV Y,#11
    OR A,[tmp]+Y
    BNE .no
    MOV Y,#9
    MOV A,[tmp]+Y
    PUSH A
    DEC Y
    MOV A,[tmp]+Y
    POP Y
    ADDW YA,tmp
    BCS .no
    MOVW tmp,YA
    MOV A,#12
    MOV Y,#0
    BRA .add
.groups:
    MOV A,!HDR_EOF+2
    OR A,!HDR_EOF+3
    BNE .no
    MOV A,!HDR_EOF
    MOV Y,!HDR_EOF+1
    MOVW tmp,YA
    MOV A,#lo(STREAM + 4)
    MOV Y,#hi(STREAM + 4)
.add:
    ADDW YA,tmp
    BCS .no
    MOVW tmp,YA
    MOV A,#lo(PITCH_CACHE)
    MOV Y,#hi(PITCH_CACHE)
    CMPW YA,tmp
    BCC .no
    MOV use_cache,#2
.no:
    RET

; clear_step: zeroes the next 8 bytes of the pitch cache, one in each of its pages; the
; 256th step puts it in use. Bytes after the end command are kept in the image and no
; header field measures them, so they may reach into the cache, where a stale word would
; pass for a pitch already computed. Waits take these steps, so that clearing delays
; neither the start of the song nor any command by more than one step (about 60 us).
clear_step:
    MOV X,cleared
    MOV A,#0
    MOV !PITCH_CACHE+X,A
    MOV !PITCH_CACHE+$100+X,A
    MOV !PITCH_CACHE+$200+X,A
    MOV !PITCH_CACHE+$300+X,A
    MOV !PITCH_CACHE+$400+X,A
    MOV !PITCH_CACHE+$500+X,A
    MOV !PITCH_CACHE+$600+X,A
    MOV !PITCH_CACHE+$700+X,A
    INC cleared
    BNE .more
    MOV use_cache,#1
.more:
    RET

; ---- the stream: flag groups of eight entries
group:
    CALL poll                     ; the timer's 4-bit counter must not overflow
    MOV Y,#0
    MOV A,[ptr]+Y
    INCW ptr
    MOV flags,A
    MOV entries,#8
entry:
    LSR flags
    BCS .psg
    MOV Y,#0
    MOV A,[ptr]+Y
    INCW ptr
    MOV cmd,A
    MOV X,A
    MOV A,!cmd_class+X
    MOV X,A
    JMP [!handlers+X]
.psg:
    MOV Y,#0                      ; flag bit set: the entry is the data byte of a PSG write
    MOV A,[ptr]+Y
    INCW ptr
    CALL psg_write
next:
    DBNZ entries,entry
    BRA group

; Command handlers, one per class of cmd_class; each continues at next.
handlers:
    .dw cmd_none, cmd_stereo, cmd_skip2, cmd_skip4, cmd_wait, cmd_wait735, cmd_wait882
    .dw cmd_end, cmd_data, cmd_wait_short, cmd_wait_dac, cmd_skip1, cmd_skip5, cmd_skip10
C_NONE = 0
C_STEREO = 2
C_SKIP2 = 4
C_SKIP4 = 6
C_WAIT = 8
C_WAIT735 = 10
C_WAIT882 = 12
C_END = 14
C_DATA = 16
C_WAIT_SHORT = 18
C_WAIT_DAC = 20
C_SKIP1 = 22
C_SKIP5 = 24
C_SKIP10 = 26

; Class of every command byte. Commands without operands here (pad $4E, short seek $4C,
; and every byte the converter copies as a one-byte command) take no time.
cmd_class:
    .fill $4F, C_NONE             ; $00-$4E
    .db C_STEREO                  ; $4F dd
    .db C_NONE                    ; $50 never stands here (PSG writes are flag bits)
    .fill 4, C_SKIP2              ; $51-$54 aa dd: FM writes, skipped for now
    .fill 12, C_NONE              ; $55-$60
    .db C_WAIT, C_WAIT735, C_WAIT882  ; $61 nn nn, $62, $63
    .fill 2, C_NONE               ; $64-$65
    .db C_END, C_DATA             ; $66, $67
    .fill 8, C_NONE               ; $68-$6F
    .fill 16, C_WAIT_SHORT        ; $70-$7F
    .fill 16, C_WAIT_DAC          ; $80-$8F
    .db C_SKIP4, C_SKIP4          ; $90 ss tt pp cc, $91 ss dd ll bb: DAC streams, skipped for now
    .db C_SKIP5, C_SKIP10         ; $92 ss ffffffff, $93 ss aaaaaaaa mm llllllll
    .db C_SKIP1, C_SKIP4          ; $94 ss, $95 ss bbbb ff
    .fill $4A, C_NONE             ; $96-$DF
    .db C_SKIP4                   ; $E0 dddddddd
    .fill $1F, C_NONE             ; $E1-$FF
.assert * - cmd_class == 256, "cmd_class needs 256 entries"

cmd_none:
    JMP next

cmd_skip10:
    INCW ptr
    INCW ptr
    INCW ptr
    INCW ptr
    INCW ptr
cmd_skip5:
    INCW ptr
cmd_skip4:
    INCW ptr
    INCW ptr
cmd_skip2:
    INCW ptr
cmd_skip1:
    INCW ptr
    JMP next

cmd_stereo:
    MOV Y,#0
    MOV A,[ptr]+Y
    INCW ptr
    MOV stereo,A
    OR dirty,#$AA                 ; every channel's volume again
    JMP next

; $67 $66 tt ssssssss data: skip the block (it cannot exceed the 16-bit address space)
cmd_data:
    MOV Y,#2
    MOV A,[ptr]+Y
    MOV tmp,A
    INC Y
    MOV A,[ptr]+Y
    MOV tmp+1,A
    MOVW YA,ptr
    ADDW YA,tmp
    MOVW ptr,YA
    MOV A,#6
    CLRC
    ADC A,ptr
    MOV ptr,A
    ADC ptr+1,#0
    JMP next

; $66: continue at the loop point, or fall silent and idle
cmd_end:
    MOVW YA,loop_at
    BEQ .stop
    MOVW ptr,YA
    JMP group
.stop:
    MOV A,#$0F
    MOV regl+1,A
    MOV regl+3,A
    MOV regl+5,A
    MOV regl+7,A
    OR dirty,#$AA
    CALL flush
.idle:
    BRA .idle

cmd_wait:
    MOV Y,#1                      ; high byte: n_hi * 40 goes to bits 23-8 of owed
    MOV A,[ptr]+Y
    MOV Y,#40
    MUL YA
    MOVW tmp,YA
    MOVW YA,owed+1
    ADDW YA,tmp
    MOVW owed+1,YA
    MOV Y,#0
    MOV A,[ptr]+Y
    INCW ptr
    INCW ptr
    MOV Y,#40
    MUL YA
    BRA wait_ya

cmd_wait735:
    MOV A,#lo(735 * 40)
    MOV Y,#hi(735 * 40)
    BRA wait_ya

cmd_wait882:
    MOV A,#lo(882 * 40)
    MOV Y,#hi(882 * 40)
    BRA wait_ya

cmd_wait_short:
    MOV A,cmd                     ; $7n: n + 1 samples
    AND A,#$0F
    INC A
    MOV Y,#40
    MUL YA
    BRA wait_ya

cmd_wait_dac:
    MOV A,cmd                     ; $8n: the DAC write is ignored, n samples
    AND A,#$0F
    MOV Y,#40
    MUL YA
; wait_ya: adds YA (1/40 samples) to owed, brings the DSP up to date, then waits until the
; owed time has passed.
wait_ya:
    MOVW tmp,YA
    MOVW YA,owed
    ADDW YA,tmp
    MOVW owed,YA
    ADC owed+2,#0
    CALL flush
.wait:
    CALL poll
    BBC use_cache.1,.owed
    CALL clear_step
.owed:
    MOV A,owed+2
    BMI .done
    OR A,owed+1
    OR A,owed
    BNE .wait
.done:
    JMP next

; poll: takes the timer ticks since the last call off owed (441 per tick).
poll:
    MOV A,T2OUT
    BEQ .none
    MOV Y,A
    MOV tick+1,A                  ; ticks * 256
    MOV A,#441 - 256
    MUL YA                        ; + ticks * 185
    MOV tick,A
    MOV A,Y
    CLRC
    ADC A,tick+1
    MOV tick+1,A
    MOVW YA,owed
    SUBW YA,tick
    MOVW owed,YA
    SBC owed+2,#0
.none:
    RET

; ---- PSG register writes: only the register copies change here; flush applies them.
; psg_write: A = the byte written to the chip.
psg_write:
    MOV tmp,A
    BBS tmp.7,.latch
    MOV X,latch                   ; data byte: to the latched register
    CMP X,#6
    BCS .low4
    MOV A,X
    AND A,#1
    BNE .low4
    MOV A,tmp                     ; tone period: the 6 bits are bits 9-4
    AND A,#$3F
    XCN A
    MOV Y,A
    AND A,#$03
    MOV regh+X,A
    MOV A,Y
    AND A,#$F0
    MOV tmp,A
    MOV A,regl+X
    AND A,#$0F
    OR A,tmp
    MOV regl+X,A
    BRA .mark
.latch:
    XCN A                         ; 1 c c t d d d d: register r = c c t
    AND A,#$07
    MOV latch,A
    MOV X,A
.low4:
    MOV A,tmp                     ; bits 3-0 of register X
    AND A,#$0F
    MOV tmp,A
    MOV A,regl+X
    AND A,#$F0
    OR A,tmp
    MOV regl+X,A
.mark:
    CMP X,#6
    BNE .dirty
    MOV noise_reset,#1
.dirty:
    MOV A,!bit_of+X
    OR A,dirty
    MOV dirty,A
    RET

bit_of:
    .db $01, $02, $04, $08, $10, $20, $40, $80

; ---- bringing the DSP up to date
; flush: applies every changed PSG register to the voices. It runs only where time is
; about to pass, so a period's two bytes cost one division.
flush:
    MOV A,dirty
    BNE .go
    RET
.go:
    BBC dirty.4,.tones            ; tone 2 clocks the noise in rate mode 3
    MOV A,regl+6
    AND A,#3
    CMP A,#3
    BNE .tones
    OR dirty,#$40
.tones:
    MOV chreg,#0
.tone:
    LSR dirty
    BCC .no_pitch
    CALL tone_pitch
    LSR dirty
    BRA .volume                   ; a period may mute or unmute the channel
.no_pitch:
    LSR dirty
    BCC .next_channel
.volume:
    CALL tone_volume
.next_channel:
    INC chreg
    INC chreg
    CMP chreg,#6
    BNE .tone
    MOV A,dirty                   ; now bit 0 = noise control, bit 1 = noise attenuation
    BEQ .done
    BBS dirty.0,.noise_clock
    BBS noise_set.0,.noise_volume ; the power-on control 0 until the song writes one
.noise_clock:
    CALL noise_clock
    MOV noise_set,#1
    BBC noise_reset.0,.noise_volume
    MOV noise_reset,#0            ; a noise write restarts the chip's shift register:
    MOV A,#KON                    ; both noise voices start their samples again
    MOV Y,#$18
    MOVW DSPADDR,YA
.noise_volume:
    CALL noise_volume
.done:
    MOV dirty,#0
    RET

; tone_pitch: the pitch of the voice of tone register chreg from its period.
tone_pitch:
    CALL poll
    MOV X,chreg
    MOV A,regl+X
    MOV Y,regh+X
    CALL period_pitch
    MOV X,chreg
    MOV A,#0
    ROL A                         ; 1 when too short to hear
    MOV muted+X,A
    BNE .done
    MOV A,chreg                   ; voice = chreg / 2: DSP registers at chreg * 8
    ASL A
    ASL A
    ASL A
    MOV X,A
    MOVW YA,pitch
    CALL set_pitch
.done:
    RET

; tone_volume: volume of the voice of tone register chreg from its attenuation.
tone_volume:
    MOV X,chreg
    MOV A,regl+1+X
    AND A,#$0F
    MOV Y,muted+X
    BEQ .audible
    MOV A,#15
.audible:
    PUSH A
    MOV A,chreg
    LSR A
    MOV X,A
    MOV A,!channel_mask+X
    MOV vmask,A
    MOV A,chreg
    ASL A
    ASL A
    ASL A
    MOV X,A
    POP A
    JMP set_volume

channel_mask:
    .db $11, $22, $44, $88

; noise_clock: noise control changed (or tone 2 while it clocks the noise). The shift
; clock is the tone rate of period 16, 32, 64 or tone 2's period: the pulse voice plays at
; that tone pitch (16 samples a shift), the white-noise voice at an eighth of it (2).
noise_clock:
    MOV A,regl+6
    AND A,#3
    CMP A,#3
    BEQ .tone2
    MOV X,A
    MOV A,!noise_period+X
    MOV Y,#0
    BRA .pitch
.tone2:
    MOV A,regl+4
    MOV Y,regh+4
.pitch:
    CALL period_pitch
    BCC .audible
    MOV A,#$FF                    ; faster than the DSP can play: the top pitch
    MOV Y,#$3F
    MOVW pitch,YA
.audible:
    MOVW YA,pitch
    MOV X,#$40
    CALL set_pitch
    MOV count,#3
.eighth:
    LSR pitch+1
    ROR pitch
    DBNZ count,.eighth
    MOVW YA,pitch
    MOV X,#$30
    JMP set_pitch

noise_period:
    .db 16, 32, 64

; noise_volume: the noise attenuation goes to the voice of the current noise kind
; (voice 3 white, voice 4 periodic); the other one is silent.
noise_volume:
    MOV vmask,#$88
    MOV A,regl+7
    AND A,#$0F
    MOV tmp+1,A
    MOV Y,#15
    BBS regl+6.2,.white
    MOV A,#15                     ; periodic: voice 3 silent
    MOV Y,tmp+1
.white:
    MOV tmp,Y
    CLRC
    ADC A,#WHITE_ROWS
    MOV X,#$30
    CALL set_volume
    MOV A,tmp
    CLRC
    ADC A,#PERIODIC_ROWS
    MOV X,#$40
    JMP set_volume

; ---- small helpers
; period_pitch: YA = a 10-bit period N. Returns carry set when N is too short to hear
; (below 9: above 12 kHz), else carry clear and pitch = round(kconst / N), at most $3FFF.
period_pitch:
    MOVW den,YA
    CMP Y,#0
    BNE .long
    CMP A,#9
    BCS .long
    CMP A,#0
    BNE .short
    BBC zero_1k.0,.short          ; 0 means 1024 on TI chips, no tone on Sega's
    MOV den+1,#4
.long:
    BBS use_cache.0,.cached
    CALL divide
    MOVW pitch,YA
    CLRC
    RET
.cached:
    MOV A,den                     ; cptr = PITCH_CACHE + 2 * (N & $3FF)
    ASL A
    MOV tmp,A
    MOV A,den+1
    AND A,#$03
    ROL A
    MOV tmp+1,A
    MOV A,#lo(PITCH_CACHE)
    MOV Y,#hi(PITCH_CACHE)
    ADDW YA,tmp
    MOVW cptr,YA
    MOV Y,#0
    MOV A,[cptr]+Y
    MOV pitch,A
    INC Y
    MOV A,[cptr]+Y
    MOV pitch+1,A
    OR A,pitch
    BEQ .miss
    CLRC
    RET
.miss:
    CALL divide                   ; first use of this period: divide once, keep it
    MOVW pitch,YA
    MOV Y,#0
    MOV [cptr]+Y,A
    INC Y
    MOV A,pitch+1
    MOV [cptr]+Y,A
    CLRC
    RET
.short:
    SETC
    RET

; divide: YA = round(kconst / den), clamped at $3FFF. Shift-and-subtract over the low 14
; bits of kconst + den / 2; its bits above those start as the remainder, and when they
; already reach den the quotient would not fit in 14 bits.
divide:
    MOV A,den+1
    LSR A
    MOV tmp+1,A
    MOV A,den
    ROR A
    MOV tmp,A
    MOVW YA,kconst
    ADDW YA,tmp
    MOVW num,YA
    MOV A,kconst+2
    ADC A,#0
    MOV num+2,A
    ASL num                       ; num+2 = bits 21-14, num+1:num = bits 13-0 << 2
    ROL num+1
    ROL num+2
    ASL num
    ROL num+1
    ROL num+2
    MOV A,num+2
    MOV Y,#0
    CMPW YA,den
    BCS .clamp
    MOVW rem,YA
    MOV count,#14
.bit:
    ASL num
    ROL num+1
    ROL rem
    ROL rem+1
    MOVW YA,rem
    CMPW YA,den
    BCC .zero
    SUBW YA,den
    MOVW rem,YA
    INC num
.zero:
    DBNZ count,.bit
    MOVW YA,num
    RET
.clamp:
    MOV A,#$FF
    MOV Y,#$3F
    RET

; set_pitch: YA = pitch for the voice whose registers start at X.
set_pitch:
    MOVW tmp,YA
    MOV A,X
    OR A,#V_PITCHL
    MOV DSPADDR,A
    MOV DSPDATA,tmp
    INC A
    MOV DSPADDR,A
    MOV DSPDATA,tmp+1
    RET

; set_volume: A = row of vol_row/gain_row (attenuation + table base), X = the voice's first
; register, vmask = the channel's stereo bits. GAIN carries part of the level, VOLL/VOLR
; the rest, each side 0 when the stereo byte routes the channel away from it.
set_volume:
    MOV Y,A
    MOV A,X
    OR A,#V_GAIN
    MOV DSPADDR,A
    MOV A,!gain_row+Y
    MOV DSPDATA,A
    MOV A,!vol_row+Y
    MOV vol,A
    MOV A,stereo
    AND A,vmask
    MOV Y,A
    MOV DSPADDR,X
    AND A,#$F0
    BEQ .left
    MOV A,vol
.left:
    MOV DSPDATA,A
    INC X
    MOV DSPADDR,X
    MOV A,Y
    AND A,#$0F
    BEQ .right
    MOV A,vol
.right:
    MOV DSPDATA,A
    RET

; Levels for attenuation 0-15: each step 2 dB down (10^(-v/10) of step 0), 15 silent.
; VOL * GAIN pairs found by search; all within 0.03 dB of the ideal level, so the quiet
; end is as exact as the loud one. Tone rows serve the square and the white noise; the
; periodic rows are scaled so that the pulse sits against the tones as on the PSG.
TONE_ROWS = 0
WHITE_ROWS = 0                    ; the noise sample swings as far as the square wave
PERIODIC_ROWS = 16
vol_row:
    .db 127, 105, 87, 77, 51, 44, 33, 28, 36, 16, 16, 12, 10, 7, 6, 0
    .db 105, 94, 76, 70, 67, 50, 34, 27, 20, 19, 13, 9, 9, 7, 6, 0
gain_row:
    .db 127, 122, 117, 105, 126, 116, 123, 115, 71, 127, 101, 107, 102, 116, 107, 0
    .db 125, 111, 109, 94, 78, 83, 97, 97, 104, 87, 101, 116, 92, 94, 87, 0

.include "noise.s"

code_end:
.assert code_end <= $1000, "code runs into the echo page"

; The echo unit's buffer (4 bytes with EDL 0); FLG bit 5 keeps it from being written.
.org $1000
echo_area:
    .ds 4
.assert * <= $1100, "the player must end below the stream at $1100"
