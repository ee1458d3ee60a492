; ---- The YM2612's DAC: PCM drums.
;
; The PCM bank is the data blocks of type 0 in the stream, end to end. The DSP plays only
; BRR, so each block is converted where it lies, in the background from the moment the
; stream reaches it: every 16 unsigned 8-bit samples become one 9-byte BRR block (range
; from the block's peak, filter 0) written over the block's own start, which stays ahead of
; the writing. The last BRR block of a data block carries the end flag, so a voice stops
; there. Until the conversion has passed a sample, starting it waits (the sample is not
; played); a song's drums are heard once their block is ready (about 0.5 ms of work per 16
; samples, so 17 KB take under a second of background time).
;
; A song drives the DAC in two ways:
;   0x80-0x8F write the bank byte at the DAC position and wait; 0xE0 (and the short seek
;     0x4C) moves the position. A voice plays the bank from the position where writes
;     start (again after a seek) at the rate the writes come: 44100 over the mean of their
;     waits. It is released when no write has come for a housekeeping tick (4 ms).
;   the DAC streams 0x90-0x95: 0x92 sets the rate, 0x93 starts at a bank offset (for a
;     number of writes, a time, or to the block's end), 0x95 plays a whole data block,
;     0x94 stops. A voice plays the bank from there at that rate; its end flag or the
;     length, counted down every 4 ms, ends it.
; The DAC is channel CH_DAC, with the pan of the YM2612's channel 6.
DAC_RUN    = 0                    ; dac_flags bits
DAC_START  = 1
DAC_STOP   = 2
DAC_STREAM = 3
DAC_RATE   = 4
DAC_VOL    = 112

; dac_data_block: the stream is at a data block (ptr: at its 0x66): a PCM bank block is
; remembered and queued for conversion; its type byte is then changed, so that a song
; looping back over it neither remembers nor converts it again.
dac_data_block:
    MOV Y,#1
    MOV A,[ptr]+Y
    BNE .done                     ; another type, or already taken
    MOV A,#$FF
    MOV [ptr]+Y,A
    MOV X,dac_block_count
    CMP X,#DAC_BLOCKS
    BCS .done
    INC dac_block_count
    MOV Y,#3                      ; size (a block lies in the 16-bit address space)
    MOV A,[ptr]+Y
    MOV !dac_size_hi+X,A
    DEC Y
    MOV A,[ptr]+Y
    MOV !dac_size_lo+X,A
    MOV A,dac_bank_end            ; its offset in the bank
    MOV !dac_start_lo+X,A
    CLRC
    ADC A,!dac_size_lo+X
    MOV dac_bank_end,A
    MOV A,dac_bank_end+1
    MOV !dac_start_hi+X,A
    ADC A,!dac_size_hi+X
    MOV dac_bank_end+1,A
    MOV A,#6                      ; its data
    MOV Y,#0
    ADDW YA,ptr
    MOV !dac_data_lo+X,A
    MOV A,Y
    MOV !dac_data_hi+X,A
.done:
    RET

; dac_convert_step: the next 16 samples of the bank into a BRR block (background).
dac_convert_step:
    MOV A,conv_block
    CMP A,dac_block_count
    BCS .done
    MOVW YA,conv_left
    BNE .convert
    MOV X,conv_block              ; a new data block: its start and its 16-sample count
    MOV A,!dac_data_lo+X
    MOV conv_src,A
    MOV conv_dst,A
    MOV A,!dac_data_hi+X
    MOV conv_src+1,A
    MOV conv_dst+1,A
    MOV A,!dac_size_lo+X
    MOV conv_left,A
    MOV A,!dac_size_hi+X
    MOV conv_left+1,A
    MOV A,#15
    MOV Y,#0
    ADDW YA,conv_left
    MOVW conv_left,YA
    MOV X,#4
.sixteenth:
    LSR conv_left+1
    ROR conv_left
    DEC X
    BNE .sixteenth
    MOVW YA,conv_left
    BNE .convert
    INC conv_block                ; an empty block
.done:
    RET
.convert:
    MOV Y,#15                     ; the 16 samples, signed, and their peak
    MOV peak8,#0
.read:
    MOV A,[conv_src]+Y
    MOV !dac_samples+Y,A
    EOR A,#$80
    BPL .magnitude
    EOR A,#$FF
.magnitude:
    CMP A,peak8
    BCC .lower
    MOV peak8,A
.lower:
    DEC Y
    BPL .read
    MOV X,#0                      ; shift: the peak within +-7
.range:
    CMP peak8,#8
    BCC .found
    LSR peak8
    INC X
    BRA .range
.found:
    MOV conv_shift,X
    MOV A,X                       ; range: shift + 6 (full scale near an FM channel's)
    CLRC
    ADC A,#6
    XCN A
    DECW conv_left
    BNE .header
    OR A,#1                       ; the data block's last: end
    INC conv_block
.header:
    MOV Y,#0
    MOV [conv_dst]+Y,A
    MOV X,#0
.pair:
    CALL dac_nibble
    XCN A
    MOV peak8,A
    CALL dac_nibble
    AND A,#$0F
    OR A,peak8
    INC Y
    MOV [conv_dst]+Y,A
    CMP Y,#8
    BNE .pair
    MOV A,#16
    MOV Y,#0
    ADDW YA,conv_src
    MOVW conv_src,YA
    MOV A,#9
    MOV Y,#0
    ADDW YA,conv_dst
    MOVW conv_dst,YA
    RET

; dac_nibble: sample X of dac_samples (unsigned, 128 the middle) as a nibble: rounded,
; shifted right by conv_shift, within -8..7; X moves on. Keeps Y.
dac_nibble:
    MOV A,!dac_samples+X
    INC X
    PUSH Y
    MOV Y,conv_shift
    BEQ .middle
    CLRC                          ; + half the last bit dropped; the carry is bit 8
    ADC A,!round_of+Y
    ROR A
    DEC Y
    BEQ .middle
.shift:
    LSR A
    DBNZ Y,.shift
.middle:
    MOV Y,conv_shift
    SETC
    SBC A,!dac_middle+Y
    POP Y
    CMP A,#8                      ; at most 7 (rounding at the very top)
    BMI .in_range
    CMP A,#$80
    BCS .in_range
    MOV A,#7
.in_range:
    RET

dac_middle:                       ; 128 shifted right by 0 to 4
    .db 128, 64, 32, 16, 8

; ---- playback

; cmd_dac_write: $8n: the DAC takes the next bank byte, then n samples pass. The first
; write of a run (or the first after a seek) starts the bank there; the writes counted over
; each 4 ms set the rate. Dense runs of writes (9000 a second in some songs) would cost
; most of the sound CPU through the stream's dispatch, so the group's next entries are
; taken here while they are DAC writes and no wait is due.
cmd_dac_write:
    MOV A,cmd
.write:
    AND A,#$0F
    CLRC
    ADC A,owed
    MOV owed,A
    BCC .owed
    INC owed+1
    BNE .owed
    INC owed+2
.owed:
    INC dac_writes
    INCW dac_pos
    BBC dac_flags.DAC_RUN,.start
.due:
    MOV A,owed+1                  ; a wait due? (owed above SLACK)
    BNE .large
    MOV A,owed
    CMP A,#SLACK
    BCS .wait
.more:
    DBNZ entries,.next_entry      ; the next entry: in this group, not a PSG write, $8n
    BRA .last
.next_entry:
    BBS flags.0,.last
    MOV A,[ptr]+Y
    CMP A,#$80
    BCC .last
    CMP A,#$90
    BCS .last
    INC Y
    LSR flags
    BRA .write
.last:
    INC entries                   ; (the entry is counted where it is taken)
.wait:
    JMP wait_now
.large:
    MOV A,owed+2                  ; late (negative): go on
    BMI .more
    BRA .wait
.start:
    SET1 dac_flags.DAC_RUN
    MOV A,dac_pos                 ; a start at the write's position (Y is the stream's)
    SETC
    SBC A,#1
    MOV dac_start,A
    MOV A,dac_pos+1
    SBC A,#0
    MOV dac_start+1,A
    CALL dac_start_now
    BRA .due

; cmd_seek: $E0 pppppppp: the DAC position (the bank lies in the 16-bit address space);
; a run of writes starts again there.
cmd_seek:
    MOV A,[ptr]+Y
    MOV dac_pos,A
    INC Y
    MOV A,[ptr]+Y
    MOV dac_pos+1,A
    INC Y
    INC Y
    INC Y
    BRA seek_done
; cmd_seek0: $4C, the converter's short form of a seek to 0.
cmd_seek0:
    MOV dac_pos,#0
    MOV dac_pos+1,#0
seek_done:
    CLR1 dac_flags.DAC_RUN
    JMP next

; The stream commands are rare: each one first brings ptr to its operands (Y = 0).

; cmd_stream_setup: $90 ss tt pp cc: a stream to the YM2612 ($02) register $2A is ours.
cmd_stream_setup:
    CALL normalize
    CLR1 dac_flags.DAC_STREAM
    MOV Y,#1
    MOV A,[ptr]+Y
    AND A,#$7F
    CMP A,#2
    BNE .done
    MOV Y,#3
    MOV A,[ptr]+Y
    CMP A,#$2A
    BNE .done
    SET1 dac_flags.DAC_STREAM
.done:
    MOV Y,#4
    JMP next

; cmd_stream_bank: $91 ss dd ll bb: the bank (type 0) and a step of 1 are assumed.
cmd_stream_bank:
    INC Y
    INC Y
    INC Y
    INC Y
    JMP next

; cmd_stream_rate: $92 ss ffffffff: the rate in Hz: pitch = f * 16 / 125 (f * 4096 / 32000).
cmd_stream_rate:
    CALL normalize
    MOV Y,#1
    MOV A,[ptr]+Y
    MOV num,A
    INC Y
    MOV A,[ptr]+Y
    MOV num+1,A
    MOV dac_rate,A                ; f / 256, for lengths in writes
    INC Y
    MOV A,[ptr]+Y
    MOV num+2,A
    MOV dac_rate+1,A
    MOV num+3,#0
    MOV X,#4
.times16:
    ASL num
    ROL num+1
    ROL num+2
    ROL num+3
    DEC X
    BNE .times16
    MOV X,#125
    CALL divide_num
    MOVW YA,num
    CMP Y,#$40
    BCC .pitch
    MOV A,#$FF
    MOV Y,#$3F
.pitch:
    MOVW dac_stream_pitch,YA
    MOV Y,#5
    JMP next

; divide_num: num /= X (X at most 255), a byte at a time from the top: the remainder stays
; below the divisor, so every quotient byte fits.
divide_num:
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

; cmd_stream_start: $93 ss aaaaaaaa mm llllllll: starts at bank offset a ($FFFFFFFF: where
; the stream is), for l writes (mode 1), l ms (mode 2), or to the block's end (mode 3; 0
; keeps the last length). Lengths become 4 ms ticks: writes * 256 / f, ms / 4.
cmd_stream_start:
    CALL normalize
    MOV Y,#3
    MOV A,[ptr]+Y
    INC Y
    AND A,[ptr]+Y
    INC A
    BEQ .length                   ; $FFFF: where the stream is
    MOV Y,#1
    MOV A,[ptr]+Y
    MOV dac_pos,A
    INC Y
    MOV A,[ptr]+Y
    MOV dac_pos+1,A
.length:
    MOV Y,#6
    MOV A,[ptr]+Y
    MOV num,A
    INC Y
    MOV A,[ptr]+Y
    MOV num+1,A
    MOV num+2,#0
    MOV num+3,#0
    MOV Y,#5
    MOV A,[ptr]+Y
    AND A,#$0F
    BEQ .start                    ; the last length
    CMP A,#2
    BEQ .ms
    BCS .to_end
    MOV X,dac_rate                ; writes / (f / 256), a byte of divisor at least
    MOV A,dac_rate+1
    BEQ .divide
    MOV X,#$FF
.divide:
    CMP X,#0
    BEQ .to_end
    CALL divide_num
    BRA .ticks
.ms:
    LSR num+1
    ROR num
    LSR num+1
    ROR num
.ticks:
    MOVW YA,num
    BRA .set
.to_end:
    MOV A,#0
    MOV Y,A
.set:
    MOVW dac_length,YA
.start:
    CALL stream_start
    MOV Y,#10
    JMP next

; cmd_stream_block: $95 ss bbbb ff: plays data block b of the bank to its end.
cmd_stream_block:
    CALL normalize
    MOV Y,#1
    MOV A,[ptr]+Y
    MOV X,A
    INC Y
    MOV A,[ptr]+Y
    BNE .none
    CMP X,dac_block_count
    BCS .none
    MOV A,!dac_start_lo+X
    MOV dac_pos,A
    MOV A,!dac_start_hi+X
    MOV dac_pos+1,A
    MOV A,#0
    MOV Y,A
    MOVW dac_length,YA
    CALL stream_start
.none:
    MOV Y,#4
    JMP next

; stream_start: a stream starts at dac_pos when the stream commands drive the DAC.
stream_start:
    BBC dac_flags.DAC_STREAM,dac_start_done
    MOVW YA,dac_pos
    MOVW dac_start,YA
    MOVW YA,dac_stream_pitch
    MOVW dac_pitch,YA
; dac_start_now: the DAC's voice starts at dac_start at the next flush. Keeps Y.
dac_start_now:
    SET1 dac_flags.DAC_START
    SET1 pending.2
dac_start_done:
    RET

; cmd_stream_stop: $94 ss.
cmd_stream_stop:
    INC Y
    BBC dac_flags.DAC_STREAM,.done
    SET1 dac_flags.DAC_STOP
    SET1 pending.2
.done:
    JMP next

; dac_flush: a start or a stop of the DAC's voice. A start finds the bank's data block that
; holds the position; a block not yet converted is skipped.
dac_flush:
    BBC dac_flags.DAC_STOP,.start
    CLR1 dac_flags.DAC_STOP
    CALL dac_release
.start:
    BBS dac_flags.DAC_START,.find
    RET
.find:
    CLR1 dac_flags.DAC_START
    MOV X,#0                      ; the block: start <= pos < start + size
.block:
    CMP X,conv_block              ; (converted blocks only)
    BCS .done
    MOV A,dac_start
    SETC
    SBC A,!dac_start_lo+X
    MOV tmp,A
    MOV A,dac_start+1
    SBC A,!dac_start_hi+X
    MOV tmp+1,A
    BCC .next                     ; before this block
    MOV A,tmp
    CMP A,!dac_size_lo+X
    MOV A,tmp+1
    SBC A,!dac_size_hi+X
    BCC .found
.next:
    INC X
    BRA .block
.found:
    MOV Y,#4                      ; its BRR block: data + 9 * (offset / 16)
.sixteenth:
    LSR tmp+1
    ROR tmp
    DBNZ Y,.sixteenth
    MOV A,tmp
    MOV Y,#9
    MUL YA
    MOVW sample,YA
    MOV A,tmp+1
    MOV Y,#9
    MUL YA
    CLRC
    ADC A,sample+1
    MOV sample+1,A
    MOV A,!dac_data_hi+X
    MOV Y,A
    MOV A,!dac_data_lo+X
    ADDW YA,sample
    MOVW tmp,YA
    MOV alloc_level,#DAC_VOL
    MOV A,#CH_DAC
    CALL alloc_voice
    BCS .done
    MOVW YA,tmp
    CALL voice_sample
    MOVW YA,dac_pitch
    CALL voice_pitch
    MOV A,X                       ; GAIN direct, full
    XCN A
    OR A,#V_ADSR1
    MOV Y,#0
    MOVW DSPADDR,YA
    OR A,#V_GAIN
    MOV Y,#$7F
    MOVW DSPADDR,YA
    MOV voice,X                   ; its volume: channel 6's pan as both sides
    MOV note_vol,#DAC_VOL
    MOV w_pan,#$C0
    BBC chips.0,.volume
    MOV A,!OPN1-$30+$B6
    MOV w_pan,A
.volume:
    CALL apply_level
    JMP voice_key_on
.done:
    RET

; dac_write_pitch: dac_pitch follows the writes counted since the last call: 32 times
; their number per 4 ms (4096 / 32000 * 250), taken a quarter at a time against the last
; (a pitch is chosen at a run's first tick, so it starts from the first count). Keeps X.
dac_write_pitch:
    MOV A,dac_writes
    MOV Y,#32
    MUL YA
    MOVW tmp,YA
    MOV A,ticks4                  ; per tick
    CMP A,#2
    BCC .one
    PUSH X
    MOV X,A
    MOVW YA,tmp
    DIV YA,X
    MOV tmp,A
    MOV tmp+1,#0
    POP X
.one:
    BBC dac_flags.DAC_RATE,.first
    MOVW YA,dac_pitch             ; three quarters of the last, a quarter of the new
    MOVW sample,YA
    ASL A
    PUSH A
    MOV A,Y
    ROL A
    MOV Y,A
    POP A
    ADDW YA,sample
    ADDW YA,tmp
    MOVW tmp,YA
    LSR tmp+1
    ROR tmp
    LSR tmp+1
    ROR tmp
.first:
    SET1 dac_flags.DAC_RATE
    MOVW YA,tmp
    MOVW dac_pitch,YA
    RET

; dac_release: the DAC's voice, if it has one, is silenced quickly (a drum's tail is in
; the sample).
dac_release:
    MOV X,#CH_DAC
    MOV A,!ch_voice+X
    BMI .none
    MOV X,A
    MOV Y,#$9C                    ; linear decrease, about 4 ms
    JMP voice_release
.none:
    RET

; dac_tick: every 4 ms: a run of writes that has stopped is released; the rate of a running
; one follows the writes; a stream's length counts down.
dac_tick:
    MOV X,#CH_DAC
    MOV A,!ch_voice+X
    BMI .done
    MOV X,A
    BBC dac_flags.DAC_RUN,.stream
    MOV A,dac_writes
    BNE .running
    CLR1 dac_flags.DAC_RUN
    CLR1 dac_flags.DAC_RATE       ; the next run finds its rate anew
    JMP dac_release
.running:
    CALL dac_write_pitch
    MOV dac_writes,#0
    JMP voice_pitch
.stream:
    MOVW YA,dac_length            ; a length counting down (0: none)
    BEQ .done
    MOV A,dac_length
    SETC
    SBC A,ticks4
    MOV dac_length,A
    MOV A,dac_length+1
    SBC A,#0
    MOV dac_length+1,A
    BCC .over
    OR A,dac_length
    BNE .done
.over:
    MOV A,#0
    MOV Y,A
    MOVW dac_length,YA
    JMP dac_release
.done:
    RET
