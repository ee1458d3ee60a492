; Sound CPU I/O registers and S-DSP register numbers used by the player.
CONTROL  = $F1    ; timer enables, IPL ROM mapping
DSPADDR  = $F2    ; DSP register index
DSPDATA  = $F3    ; DSP register data
T0TARGET = $FA    ; timer 0 divider (8 kHz base)
T2TARGET = $FC    ; timer 2 divider (64 kHz base)
T0OUT    = $FD    ; timer 0 4-bit tick counter, cleared by reading
T2OUT    = $FF    ; timer 2 4-bit tick counter, cleared by reading

; global DSP registers
MVOLL = $0C
MVOLR = $1C
EVOLL = $2C
EVOLR = $3C
KON   = $4C
KOFF  = $5C
FLG   = $6C
EFB   = $0D
PMON  = $2D
NON   = $3D
EON   = $4D
DIR   = $5D
ESA   = $6D
EDL   = $7D
FIR0  = $0F
FIR1  = $1F
FIR2  = $2F
FIR3  = $3F
FIR4  = $4F
FIR5  = $5F
FIR6  = $6F
FIR7  = $7F

FLG_ECHO_OFF = $20  ; FLG bit 5: the echo unit never writes RAM; kept set in every FLG write

; voice registers: voice * $10 + one of these
V_VOLL   = 0
V_VOLR   = 1
V_PITCHL = 2
V_PITCHH = 3
V_SRCN   = 4
V_ADSR1  = 5
V_ADSR2  = 6
V_GAIN   = 7
V_ENVX   = 8
