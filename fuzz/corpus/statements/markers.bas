'$StartSeq(1)
cadseq1: GOTO cadseq1
    MOVEABS(offset_x+1.5e+3,2)
    mc(1,2,3,4,1)
'$EndSeq(1)
