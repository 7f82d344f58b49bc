'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
'$EndSeq(2)
loop:
LOOP:
GOTO elsewhere
