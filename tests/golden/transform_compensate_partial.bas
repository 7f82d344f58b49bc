' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABS(-4.5,-4.5)
    MOVE(89,0)
    MOVE(0,34.5)
    MOVECIRC(-24.5,24.5,-24.5,0,0)
    MOVE(-64.5,0)
    MOVE(0,-59)
'$EndSeq(1)
'$EndLayer0:OUTLINE

'$Layer1:HOLES
'$StartSeq(2)
cadseq2:
    MOVEABS(19.5,25)
    MOVECIRC(0,0,0.5,0,1)
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABS(55,10)
    MOVECIRC(0,0,4,0,1)
'$EndSeq(3)
'$EndLayer1:HOLES

