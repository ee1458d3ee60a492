; ---- Voices: the DSP's eight, shared by every channel of every chip.
;
; A channel (PSG tone or noise, FM channel, drum) takes a voice when it sounds: a key-on,
; or a PSG channel made audible. The rule, in order:
;   1. the voice the channel already has (a new note of a channel reuses its voice);
;   2. a free voice;
;   3. the quietest voice, if it is quieter than the new note. A released note counts as
;      silent (level 0), so released notes go first; a keyed note's loudness is the larger
;      side of its VOL, which carries its level and pan, as the DSP plays it.
; Else the new note is not heard. Every chip's channels compete alike: loudness alone ranks
; them. The channel that loses its voice forgets it, so its later writes and its key-off
; touch nothing, and no note is left behind: the new owner keys the voice on afresh.
;
; Each voice owns two entries of the sample directory. A new waveform goes into the entry
; the voice is not playing, and SRCN then points at it: the DSP reads the directory only at
; key-on and at the sample's loop point, so a playing note changes waveform at its next loop
; without a click, and never from a half-written entry.

; alloc_voice: A = channel, alloc_level = loudness of its note (0-127). Returns carry clear
; and X = the voice, now the channel's, or carry set when no voice may be taken.
alloc_voice:
    MOV new_owner,A
    MOV X,A
    MOV A,!ch_voice+X
    MOV X,A
    BPL .own
    MOV X,#7
.free:
    MOV A,v_owner+X
    BMI .take
    DEC X
    BPL .free
    MOV best,alloc_level          ; the quietest voice below the new note
    MOV best_voice,#$FF
    MOV X,#7
.quiet:
    MOV A,v_level+X
    CMP A,best
    BCS .next
    MOV best,A
    MOV best_voice,X
.next:
    DEC X
    BPL .quiet
    MOV X,best_voice
    BPL .take
    SETC
    RET
.take:
    MOV A,v_owner+X               ; the old owner forgets the voice
    BMI .mine
    MOV Y,A
    MOV A,#$FF
    MOV !ch_voice+Y,A
.mine:
    MOV A,#0                      ; it waits for no waveform (waveform.s)
    MOV v_want+X,A
    MOV v_slot+X,A
    MOV A,new_owner
    MOV v_owner+X,A
    MOV Y,A
    MOV A,X
    MOV !ch_voice+Y,A
.own:
    MOV A,bit_of+X               ; a release held back for the voice's last note is
    TCLR1 !rel_bits               ; dropped: the new note starts now
    MOV A,age_clock
    MOV v_release+X,A
    MOV A,alloc_level
    MOV v_level+X,A
    CLRC
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
    MOV v_level+X,A
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

; voice_fade: X = voice, Y = a GAIN setting: the released note fades with it. The voice
; stays its channel's until taken, so the channel's next note finds it again.
voice_fade:
    MOV A,X
    XCN A
    OR A,#V_GAIN                  ; GAIN first, then ADSR off: the level glides on
    MOVW DSPADDR,YA
    AND A,#$F0
    OR A,#V_ADSR1
    MOV Y,#0
    MOVW DSPADDR,YA
    RET

; voice_sample: X = voice, YA = start of a looped BRR sample (it loops to its start). The
; voice's other directory entry receives it and SRCN moves there.
voice_sample:
    MOVW sample,YA
    MOV A,v_entry+X
    EOR A,#1
    MOV v_entry+X,A
    MOV A,X
    ASL A
    OR A,v_entry+X               ; entry number 2v or 2v + 1
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
    MOV Y,sample
    MOVW DSPADDR,YA
    INC A
    MOV Y,sample+1
    MOVW DSPADDR,YA
    RET

; voice_key_on: X = voice; keyed on with the other voices of this flush.
voice_key_on:
    MOV A,bit_of+X
    OR A,kon_bits
    MOV kon_bits,A
    RET

