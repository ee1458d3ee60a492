; ---- The YM2612's DAC: PCM drums.
;
; The PCM bank is the data blocks of type 0 in the stream, end to end. The DSP plays only
; BRR, so each block is converted where it lies, in the background from the moment the
; stream reaches it, in order: every 16 unsigned 8-bit samples become one 9-byte BRR block
; written over the block's own start, which stays ahead of the writing. Each nibble is its
; sample's top four bits (range 10, filter 0: about an FM channel's full scale), which costs
; about 0.47 ms per 16 samples (34000 a second, faster than drums play); the last BRR block
; of a data block carries the end flag, so a voice stops there, and a data block's last few
; samples that do not fill a BRR block are left out. A start waits until the conversion has
; passed its position: it is tried again every 4 ms and sounds as soon as its samples are
; ready (then the conversion stays ahead of the voice).
;
; A song drives the DAC in two ways:
;   0x80-0x8F write the bank byte at the DAC position and wait; 0xE0 (and the short seek
;     0x4C) moves the position. A voice plays the bank from the position where writes
;     start (again after a seek) at the rate the writes come: their number over the samples
;     of waits they span. It is released when no write has come for a housekeeping tick.
;   the DAC streams 0x90-0x95: 0x92 sets the rate, 0x93 starts at a bank offset (for a
;     number of writes, a time, or to the block's end), 0x95 plays a whole data block,
;     0x94 stops. A voice plays the bank from there at that rate; its end flag or the
;     length, counted down every 4 ms, ends it.
; The DAC is channel CH_DAC, with the pan of the YM2612's channel 6.
DAC_RUN    = 0                    ; dac_flags bits
DAC_START  = 1
DAC_STOP   = 2
DAC_STREAM = 3
DAC_WROTE  = 4                    ; a DAC write since the last tick
DAC_VOL    = 88                   ; the drums' VOL (the old conversion's level, measured)
DAC_AHEAD  = 160                  ; samples of waits that DAC writes may take at once
DAC_SPAN   = 96                   ; samples of their waits that give writes a rate (> 88)
BRR_HEADER = $A0                  ; range 10, filter 0
CONV_GROUPS = 5                   ; BRR blocks made a background step (about 2.3 ms)

; dac_data_block: the stream is at a data block (ptr: at its 0x66): a PCM bank block is
; remembered (offset in the bank, 16-sample groups, address) for the conversion; its type
; byte is then changed, so that a song looping back over it does not take it again.
dac_data_block:
    MOV Y,#1
    MOV A,[ptr]+Y
    BNE .done                     ; another type, or already taken
    MOV X,dac_block_count
    CMP X,#DAC_BLOCKS
    BCS .done
    DEC A
    MOV [ptr]+Y,A
    INC dac_block_count
    MOVW YA,dac_bank_end
    MOV !dac_off_lo+X,A
    MOV A,Y
    MOV !dac_off_hi+X,A
    MOV Y,#2                      ; its size (a block lies in the 16-bit address space)
    MOV A,[ptr]+Y
    MOV tmp,A
    INC Y
    MOV A,[ptr]+Y
    MOV tmp+1,A
    MOV Y,A
    MOV A,tmp
    ADDW YA,dac_bank_end
    MOVW dac_bank_end,YA
    MOV Y,#4
.sixteenth:
    LSR tmp+1
    ROR tmp
    DBNZ Y,.sixteenth
    MOV A,tmp
    MOV !dac_groups_lo+X,A
    MOV A,tmp+1
    MOV !dac_groups_hi+X,A
    MOV A,#6                      ; its data
    ADDW YA,ptr
    MOV !dac_data_lo+X,A
    MOV A,Y
    MOV !dac_data_hi+X,A
.done:
    RET

; dac_convert_step: the next CONV_GROUPS BRR blocks of the bank at most (background).
dac_convert_step:
    MOVW YA,conv_left
    BNE .group
    MOV X,conv_block              ; the next data block: its start and its group count
    CMP X,dac_block_count
    BCS .done
    MOV A,!dac_data_hi+X
    MOV Y,A
    MOV A,!dac_data_lo+X
    MOVW conv_src,YA
    MOVW conv_dst,YA
    MOV A,!dac_groups_hi+X
    MOV Y,A
    MOV A,!dac_groups_lo+X
    MOVW conv_left,YA
    OR A,conv_left+1
    BNE .done
    INC conv_block                ; an empty block
.done:
    RET
.group:
    MOV X,#CONV_GROUPS
.again:
    MOV Y,#0                      ; pair j: samples conv_src + 2j and 2j + 1 (conv_src
.pair:                            ; moves on a byte a pair), nibbles at conv_dst + 1 + j
    MOV A,[conv_src]+Y
    AND A,#$F0
    MOV tmp,A
    INC Y
    MOV A,[conv_src]+Y
    XCN A
    AND A,#$0F
    OR A,tmp
    EOR A,#$88                    ; unsigned to signed
    MOV [conv_dst]+Y,A
    INCW conv_src
    CMP Y,#8
    BNE .pair
    MOV Y,#0
    MOV A,#BRR_HEADER             ; the header last: at a block's start it lies on the
    DECW conv_left                ; first sample
    BNE .header
    INC conv_block
    MOV X,#1                      ; (the step ends with the data block)
    OR A,#1                       ; its last BRR block: end
.header:
    MOV [conv_dst]+Y,A
    MOV A,#9
    ADDW YA,conv_dst
    MOVW conv_dst,YA
    MOV A,#8
    MOV Y,#0
    ADDW YA,conv_src
    MOVW conv_src,YA
    DEC X
    BNE .again
    RET

; ---- playback

; cmd_dac_write: $8n: the DAC takes the next bank byte, then n samples pass. The first
; write of a run (or the first after a seek) starts the bank there. Dense runs of writes
; (9000 a second in some songs) would cost most of the sound CPU through the stream's
; dispatch, so the next entries are taken here while they are DAC writes, on into the next
; groups while these have no PSG writes and Y stays below $80 (which bounds the time
; without a poll), until DAC_AHEAD samples of waits are owed; then the waits are kept
; together. Each write is one byte, so Y counts them. A stretch of writes taken at once
; that spans at least DAC_SPAN samples of its own waits gives their rate (dac_tick).
cmd_dac_write:
    EOR A,#$80
    MOV tmp,A                     ; the samples to wait (add_wait adds them)
    MOV tmp+1,Y                   ; Y - tmp+1 + 1 writes taken
    BBC dac_flags.DAC_RUN,.start
    MOV A,flags                   ; PSG writes ahead in the group: one entry at a time
    BEQ .take
    BRA .wait
.group_end:
    MOV A,tmp
    CMP A,#DAC_AHEAD
    BCS .last
    CMP Y,#$80
    BCS .last
    MOV A,[ptr]+Y                 ; the next group's flag byte
    BNE .last
    INC Y
    INC tmp+1                     ; (not a write)
    MOV entries,#8
.peek:
    MOV A,[ptr]+Y
    EOR A,#$80
    CMP A,#$10
    BCS .last                     ; not a DAC write
    INC Y
    ADC A,tmp                     ; (carry clear)
    MOV tmp,A
.take:
    DBNZ entries,.peek
    BRA .group_end
.start:
    SET1 dac_flags.DAC_RUN        ; the voice starts at this byte, at the flush of its wait
    PUSH Y
    CALL dac_start_at_pos
    POP Y
    BRA .wait
.last:
    INC entries                   ; (the entry is counted where it is taken)
.wait:
    MOV A,Y                       ; the writes taken move the position on, and give the
    SETC                          ; rate (dac_tick)
    SBC A,tmp+1
    INC A
    MOV dac_run_writes,A
    CLRC
    ADC A,dac_pos
    MOV dac_pos,A
    ADC dac_pos+1,#0
    MOV dac_run_span,tmp
    SET1 dac_flags.DAC_WROTE
    MOV A,#0
    JMP add_wait

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

; cmd_stream_setup: $90 ss tt pp cc: a stream to the YM2612 ($02) register $2A is ours.
cmd_stream_setup:
    CLR1 dac_flags.DAC_STREAM
    INC Y
    MOV A,[ptr]+Y
    INC Y
    INC Y
    AND A,#$7F                    ; (bit 7: the second chip)
    CMP A,#2
    BNE .other
    MOV A,[ptr]+Y
    CMP A,#$2A
    BNE .other
    SET1 dac_flags.DAC_STREAM
.other:
    BRA stream_skip1

; cmd_stream_bank: $91 ss dd ll bb: the bank (type 0) and a step of 1 are assumed.
cmd_stream_bank:
    INC Y
    INC Y
    INC Y
; stream_skip1: the last operand byte is passed over.
stream_skip1:
    INC Y
    JMP next

; cmd_stream_rate: $92 ss ffffffff: the rate f in Hz (below 65536): the pitch is
; f * 4096 / 32000 = f * 131 / 1024 (0.05% low), and f / 250 writes come every 4 ms.
cmd_stream_rate:
    CALL normalize
    MOV Y,#1
    MOV A,[ptr]+Y
    MOV Y,#131
    MUL YA
    MOV tmp,Y
    MOV Y,#2
    MOV A,[ptr]+Y
    MOV Y,#131
    MUL YA
    MOV tmp+1,#0
    ADDW YA,tmp
    MOVW dac_stream_pitch,YA      ; f * 131 / 256
    ASL A                         ; / 128: f / 250
    MOV A,Y
    ROL A
    MOV dac_rate,A
    LSR dac_stream_pitch+1
    ROR dac_stream_pitch
    LSR dac_stream_pitch+1
    ROR dac_stream_pitch
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

; cmd_stream_start: $93 ss aaaaaaaa mm llllllll: starts at bank offset a (where the stream
; is when a's top byte is $FF, as in $FFFFFFFF), for l writes (mode 1), l ms (mode 2), or
; to the block's end (mode 3; 0 keeps the last length). Lengths become 4 ms ticks:
; writes / (f / 250), ms / 4, at least one.
cmd_stream_start:
    CALL normalize
    MOV Y,#4
    MOV A,[ptr]+Y
    INC A
    BEQ .length                   ; $FFxxxxxx: where the stream is
    MOV Y,#1
    MOV A,[ptr]+Y
    MOV dac_pos,A
    INC Y
    MOV A,[ptr]+Y
    MOV dac_pos+1,A
.length:
    MOV Y,#9                      ; l, then the mode
.copy:
    MOV A,[ptr]+Y
    MOV !num-6+Y,A
    DEC Y
    CMP Y,#5
    BNE .copy
    MOV A,[ptr]+Y
    AND A,#$0F
    BEQ .start                    ; 0: the last length
    MOV X,#4
    CMP A,#2
    BEQ .divide                   ; 2: ms
    BCS .to_end                   ; 3: to the end
    MOV X,dac_rate                ; 1: writes
    BEQ .to_end
.divide:
    CALL divide_num
    MOVW YA,num
    BNE .set
    INC A                         ; (at least a tick: 0 would be no limit)
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
    MOV Y,#2
    MOV A,[ptr]+Y
    BNE .none
    DEC Y
    MOV A,[ptr]+Y
    CMP A,dac_block_count
    BCS .none
    MOV X,A
    MOV A,!dac_off_lo+X
    MOV dac_pos,A
    MOV A,!dac_off_hi+X
    MOV dac_pos+1,A
    MOV A,#0
    MOV Y,A
    MOVW dac_length,YA
    CALL stream_start
.none:
    MOV Y,#4
    JMP next

; stream_start: a stream starts at dac_pos, at the next flush, when the stream commands
; drive the DAC.
stream_start:
    BBC dac_flags.DAC_STREAM,dac_started
    MOVW YA,dac_stream_pitch
    MOVW dac_pitch,YA
; dac_start_at_pos: the DAC's voice starts at dac_pos, at the next flush.
dac_start_at_pos:
    MOVW YA,dac_pos
    MOVW dac_start,YA
    SET1 dac_flags.DAC_START
    SET1 pending.2
dac_started:
    RET

; cmd_stream_stop: $94 ss.
cmd_stream_stop:
    INC Y
    BBC dac_flags.DAC_STREAM,.done
    CLR1 dac_flags.DAC_START
    SET1 dac_flags.DAC_STOP
    SET1 pending.2
.done:
    JMP next

; dac_flush: a stop, then a start of the DAC's voice. A start finds the bank's data block
; that holds its position and the BRR block there; until the conversion has made that BRR
; block, the start waits (dac_tick tries it again).
dac_flush:
    BBC dac_flags.DAC_STOP,.start
    CLR1 dac_flags.DAC_STOP
    CALL dac_release
.start:
    BBC dac_flags.DAC_START,.done
    CLR1 dac_flags.DAC_START
    MOV X,dac_block_count         ; the last block that starts at or before the position
.block:
    DEC X
    BMI .done
    MOV A,dac_start
    SETC
    SBC A,!dac_off_lo+X
    MOV tmp,A
    MOV A,dac_start+1
    SBC A,!dac_off_hi+X
    BCC .block
    LSR A                         ; its group g of 16 samples there, and 8g
    MOV tmp+1,A
    ROR tmp
    MOVW YA,tmp
    AND A,#$F8
    MOVW sample,YA
    MOV Y,#3
.eighth:
    LSR tmp+1
    ROR tmp
    DBNZ Y,.eighth
    MOV A,tmp                     ; none (past the block's groups): nothing to play
    CMP A,!dac_groups_lo+X
    MOV A,tmp+1
    SBC A,!dac_groups_hi+X
    BCS .done
    MOVW YA,tmp                   ; its BRR block: data + 9g
    ADDW YA,sample
    MOVW tmp,YA
    MOV A,!dac_data_hi+X
    MOV Y,A
    MOV A,!dac_data_lo+X
    ADDW YA,tmp
    MOVW tmp,YA
    CMPW YA,conv_dst              ; converted: below the conversion (it goes through the
    BCC .ready                    ; blocks in the order of their addresses); else it waits
    MOVW dac_wait_brr,YA
    SET1 dac_flags.DAC_START
.done:
    RET
.ready:
    MOV alloc_level,#DAC_VOL
    MOV A,#CH_DAC
    CALL alloc_voice
    BCS .done
    MOVW YA,tmp
    CALL voice_sample
    MOVW YA,dac_pitch
    CALL voice_pitch
    MOV Y,#$7F                    ; GAIN direct, full, ADSR off (as a release sets them),
    CALL voice_release            ; and the level that ranks it among the voices again
    MOV A,#DAC_VOL
    MOV v_level+X,A
    MOV voice,X                   ; its volume: channel 6's pan as both sides
    MOV note_vol,A
    MOV w_pan,#$C0
    BBC chips.0,.volume
    MOV A,!OPN1-$30+$B6
    MOV w_pan,A
.volume:
    CALL apply_level
    JMP voice_key_on

; dac_tick: every 4 ms (ticks4 ticks): a start that waits is tried again once the
; conversion has passed the BRR block it waits for; a run of writes that has stopped (no
; write since the last tick) is released; a running one's pitch follows the writes: 5645
; (44100 * 4096 / 32000) times the writes a sample over the last stretch of writes taken
; at once, averaged with the last pitch; a stream's length counts down.
dac_tick:
    BBC dac_flags.DAC_START,.started
    MOVW YA,dac_wait_brr
    CMPW YA,conv_dst
    BCS .started
    MOV A,kon_bits                ; the start now, keyed on at once: the other key-ons
    PUSH A                        ; wait for their commands' due time (stream.s)
    MOV kon_bits,#0
    CALL dac_flush
    MOV A,kon_bits
    BEQ .keyed
    MOV Y,A
    MOV A,#KON
    MOVW DSPADDR,YA
.keyed:
    POP A
    MOV kon_bits,A
.started:
    BBC dac_flags.DAC_RUN,.stream
    BBC dac_flags.DAC_WROTE,.stopped
    CLR1 dac_flags.DAC_WROTE
    MOV A,dac_run_span
    CMP A,#DAC_SPAN
    BCC .done
    MOV X,A
    MOV A,#lo(4 * 5645)           ; (the quotient fits: DAC_SPAN > 88)
    MOV Y,#hi(4 * 5645)
    DIV YA,X
    MOV Y,dac_run_writes
    MUL YA                        ; 4 * the new pitch
    MOVW tmp,YA
    LSR tmp+1
    ROR tmp
    LSR tmp+1
    ROR tmp
    MOVW YA,tmp
    ADDW YA,dac_pitch
    MOVW dac_pitch,YA
    LSR dac_pitch+1
    ROR dac_pitch
    MOV A,!ch_voice+CH_DAC
    BMI .done
    MOV X,A
    MOVW YA,dac_pitch
    JMP voice_pitch
.stream:
    MOVW YA,dac_length            ; a length counting down (0: none)
    BEQ .done
    MOV X,ticks4
.count:
    DECW dac_length
    BEQ .stopped
    DEC X
    BNE .count
.done:
    RET
.stopped:
    AND dac_flags,#~((1 << DAC_RUN) | (1 << DAC_START))
; dac_release: the DAC's voice, if it has one, is silenced quickly (a drum's tail is in
; the sample).
dac_release:
    MOV A,!ch_voice+CH_DAC
    BMI .none
    MOV X,A
    MOV Y,#$9C                    ; linear decrease, about 4 ms
    JMP voice_release
.none:
    RET
