'$Layer0:A
'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
    MOVECIRC(1,1,0,1,0)
GOSUB x
'$EndSeq(1)
'$EndLayer0:A
