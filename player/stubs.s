; the chips still to come

; background: one step of the work that waits: the noise, then waveforms, then the DAC's
; conversion.
background:
    MOV A,noise_blocks
    BEQ .waveform
    JMP noise_step
.waveform:
    CALL background_waveform
    BCS .done
    JMP dac_convert_step
.done:
    RET
