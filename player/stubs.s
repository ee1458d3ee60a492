; temporary stubs
cmd_ym2413:
cmd_ym2151:
    INC Y
    INC Y
    JMP next
cmd_dac_write:
    MOV A,cmd
    AND A,#$0F
    CLRC
    ADC A,owed
    MOV owed,A
    ADC owed+1,#0
    ADC owed+2,#0
    JMP wait
cmd_seek0:
    JMP next
cmd_seek:
cmd_stream_setup:
cmd_stream_bank:
cmd_stream_block:
    INC Y
    INC Y
    INC Y
    INC Y
    JMP next
cmd_stream_rate:
    INC Y
    INC Y
    INC Y
    INC Y
    INC Y
    JMP next
cmd_stream_start:
    MOV A,Y
    CLRC
    ADC A,#10
    MOV Y,A
    JMP next
cmd_stream_stop:
    INC Y
    JMP next
dac_flush:
dac_tick:
background:
    MOV A,noise_blocks
    BEQ .none
    JMP noise_step
.none:
    JMP background_waveform
dac_data_block:
    RET
