' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABS(-2,2)
    MOVECIRC(2,-2,2,0,0)
    MOVE(80,0)
    MOVE(0,30)
    MOVECIRC(-20,20,-20,0,0)
    MOVE(-60,0)
    MOVE(0,-50)
    MOVECIRC(-3,-3,-3,0,1)
'$EndSeq(1)
'$EndLayer0:OUTLINE

'$Layer1:HOLES
'$StartSeq(2)
cadseq2:
    MOVEABS(13,23)
    MOVECIRC(2,2,0,2,0)
    MOVECIRC(0,0,5,0,1)
    MOVECIRC(3,3,3,0,1)
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABS(53,8)
    MOVECIRC(2,2,0,2,0)
    MOVECIRC(0,0,4,0,1)
    MOVECIRC(3,3,3,0,1)
'$EndSeq(3)
'$EndLayer1:HOLES

