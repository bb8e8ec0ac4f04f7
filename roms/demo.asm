; Tessaline demo boot ROM: greets on the console (serial channel 0), echoes
; what is typed, and halts with interrupts off when Esc arrives.
;
; Assemble with z80asm (scripts/build-demo-rom); the Z180's IN0/OUT0 are
; written as bytes.

CNTLA0: equ 0x00
CNTLB0: equ 0x02
STAT0:  equ 0x04
TDR0:   equ 0x06
RDR0:   equ 0x08

        org 0
start:  di
        ld sp, 0x0000          ; top of RAM (the first push lands at 0xFFFF)
        ld a, 0x0C             ; form feed, placed in TDR0 before the
        defb 0xED, 0x39, TDR0  ;   transmitter is on: OUT0 (TDR0),A
        ld a, 0x00             ; 160 clocks a bit
        defb 0xED, 0x39, CNTLB0
        ld a, 0x64             ; receiver and transmitter on, 8N1
        defb 0xED, 0x39, CNTLA0
        ld hl, banner
        call puts
loop:   call getc
        cp 0x1B
        jr z, done
        call putc
        cp 0x0D
        jr nz, loop
        ld a, 0x0A
        call putc
        jr loop
done:   ld hl, bye
        call puts
        halt

; Sends the zero-terminated text at HL.
puts:   ld a, (hl)
        or a
        ret z
        call putc
        inc hl
        jr puts

; Sends A once the transmit data register is free.
putc:   push af
putw:   defb 0xED, 0x38, STAT0 ; IN0 A,(STAT0)
        and 0x02               ; TDRE
        jr z, putw
        pop af
        defb 0xED, 0x39, TDR0  ; OUT0 (TDR0),A
        ret

; Waits for a received character and returns it in A.
getc:   defb 0xED, 0x38, STAT0
        and 0x80               ; RDRF
        jr z, getc
        defb 0xED, 0x38, RDR0  ; IN0 A,(RDR0)
        ret

banner: defm "Tessaline Z180 board"
        defb 13, 10
        defm "Demo boot ROM: type away, Esc halts."
        defb 13, 10, 0
bye:    defb 13, 10
        defm "Bye."
        defb 13, 10, 0
