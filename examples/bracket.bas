' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
    MOVE(80,0)
    MOVE(0,30)
    MOVECIRC(-20,20,-20,0,0)
    MOVE(-60,0)
    MOVE(0,-50)
'$EndSeq(1)
'$EndLayer0:OUTLINE

'$Layer1:HOLES
'$StartSeq(2)
cadseq2:
    MOVEABS(15,25)
    MOVECIRC(0,0,5,0,1)
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABS(55,10)
    MOVECIRC(0,0,4,0,1)
'$EndSeq(3)
'$EndLayer1:HOLES

