; ---- Voices: the DSP's eight, shared by every channel of every chip.
;
; A channel (PSG tone or noise, FM channel, DAC, drum) takes a voice when it sounds: a key-on,
; or a PSG channel made audible. The rule, in order:
;   1. the voice the channel already has (a new note of a channel reuses its voice);
;   2. a free voice;
;   3. the voice released longest ago (its note is fading or already silent);
;   4. the quietest keyed voice, if it is quieter than the new note (loudness as the DSP
;      plays it: the larger side of VOL, which carries the channel's level and pan);
; else the new note is not heard. The channel that loses its voice forgets it, so its later
; writes and its key-off touch nothing, and no note is left behind: the new owner keys the
; voice on afresh.
;
; Each voice owns two entries of the sample directory. A new waveform goes into the entry
; the voice is not playing, and SRCN then points at it: the DSP reads the directory only at
; key-on and at the sample's loop point, so a playing note changes waveform at its next loop
; without a click, and never from a half-written entry.
;
; Envelopes run in the DSP (ADSR or GAIN); the player only switches a voice from one stage
; to the next where the DSP's ADSR cannot (v_timer, every 4 ms).

; alloc_voice: A = channel, alloc_level = loudness of its note (0-127). Returns carry clear
; and X = the voice, now the channel's, or carry set when no voice may be taken.
alloc_voice:
    MOV new_owner,A
    MOV X,A
    MOV A,!ch_voice+X
    BMI .find
    MOV X,A
    BRA .own
.find:
    MOV X,#7
.free:
    MOV A,v_owner+X
    BMI .take
    DEC X
    BPL .free
    MOV best,#0                   ; the voice released longest ago
    MOV X,#7
.released:
    MOV A,!v_age+X
    CMP A,best
    BCC .next_released
    BEQ .next_released
    MOV best,A
    MOV best_voice,X
.next_released:
    DEC X
    BPL .released
    MOV A,best
    BNE .best
    MOV best,alloc_level          ; the quietest keyed voice below the new note
    MOV best_voice,#$FF
    MOV X,#7
.quiet:
    MOV A,v_level+X
    CMP A,best
    BCS .next_quiet
    MOV best,A
    MOV best_voice,X
.next_quiet:
    DEC X
    BPL .quiet
    MOV A,best_voice
    BPL .best
    SETC
    RET
.best:
    MOV X,best_voice
.take:
    MOV A,v_owner+X               ; the old owner forgets the voice
    BMI .mine
    MOV Y,A
    MOV A,#$FF
    MOV !ch_voice+Y,A
.mine:
    MOV A,new_owner
    MOV v_owner+X,A
    MOV Y,A
    MOV A,X
    MOV !ch_voice+Y,A
    MOV A,#0
    MOV !v_timer+X,A
.own:
    MOV A,alloc_level
    MOV v_level+X,A
    MOV A,#0
    MOV !v_age+X,A
    CLRC
    RET

; release_voice: X = voice; its note fades (the caller has set the release envelope). It
; stays its channel's until taken, so the channel's next note finds it again.
release_voice:
    MOV A,#0
    MOV !v_timer+X,A
    MOV Y,#7
.age:
    MOV A,!v_age+Y
    BEQ .keyed
    INC A
    BEQ .keyed                    ; the oldest stay oldest
    MOV !v_age+Y,A
.keyed:
    DEC Y
    BPL .age
    MOV A,#1
    MOV !v_age+X,A
    RET

; free_voice: X = voice; silenced at once and given back.
free_voice:
    MOV A,v_owner+X
    BMI .silence
    MOV Y,A
    MOV A,#$FF
    MOV !ch_voice+Y,A
    MOV v_owner+X,A
.silence:
    MOV A,#0
    MOV !v_age+X,A
    MOV v_level+X,A
    MOV !v_timer+X,A
; voice_off: X = voice; envelope and volume 0 at once (GAIN direct 0).
voice_off:
    MOV A,X
    XCN A
    OR A,#V_ADSR1
    MOV Y,#0
    MOVW DSPADDR,YA
    OR A,#V_GAIN
    MOVW DSPADDR,YA
    AND A,#$F0
    MOVW DSPADDR,YA               ; VOLL
    INC A
    MOVW DSPADDR,YA               ; VOLR
    RET

; silence_all: every voice off and free (the song has ended).
silence_all:
    MOV X,#7
.voice:
    CALL free_voice
    DEC X
    BPL .voice
    RET

; voice_sample: X = voice, YA = start of a looped BRR sample (it loops to its start). The
; voice's other directory entry receives it and SRCN moves there.
voice_sample:
    MOVW sample,YA
    MOV A,!v_entry+X
    EOR A,#1
    MOV !v_entry+X,A
    MOV A,X
    ASL A
    OR A,!v_entry+X                ; entry number 2v or 2v + 1
    PUSH A
    ASL A
    ASL A
    MOV Y,A
    MOV A,sample
    MOV !DIRECTORY+Y,A
    MOV !DIRECTORY+2+Y,A
    MOV A,sample+1
    MOV !DIRECTORY+1+Y,A
    MOV !DIRECTORY+3+Y,A
    MOV A,X
    XCN A
    OR A,#V_SRCN
    POP Y
    MOVW DSPADDR,YA
    RET

; voice_pitch: X = voice, YA = pitch.
voice_pitch:
    MOVW sample,YA
    MOV A,X
    XCN A
    OR A,#V_PITCHL
    MOV DSPADDR,A
    MOV DSPDATA,sample
    INC A
    MOV DSPADDR,A
    MOV DSPDATA,sample+1
    RET

; voice_key_on: X = voice; keyed on with the other voices of this flush.
voice_key_on:
    MOV A,!bit_of+X
    OR A,kon_bits
    MOV kon_bits,A
    RET

; voices_tick: every 4 ms. A voice whose envelope must leave the DSP's ADSR (a decay deeper
; than the ADSR's sustain levels reach) switches to its GAIN setting when its timer ends;
; GAIN is written before ADSR1 gives way to it, so the level glides on from where it is.
voices_tick:
    MOV X,#7
.voice:
    MOV A,!v_timer+X
    BEQ .next
    SETC
    SBC A,ticks4
    BEQ .switch
    BCS .keep
.switch:
    MOV A,!v_gain_next+X
    MOV Y,A
    MOV A,X
    XCN A
    OR A,#V_GAIN
    MOVW DSPADDR,YA
    AND A,#$F0
    OR A,#V_ADSR1
    MOV Y,#0
    MOVW DSPADDR,YA
    MOV A,#0
.keep:
    MOV !v_timer+X,A
.next:
    DEC X
    BPL .voice
    RET

bit_of:
    .db $01, $02, $04, $08, $10, $20, $40, $80
