' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABS(0,26.5)
    MOVE(0,-26.5)
    MOVE(26.5,0)
'$EndSeq(1)

'$StartSeq(4)
cadseq4:
    MOVEABS(30.5,0)
    MOVE(41,0)
'$EndSeq(4)

'$StartSeq(5)
cadseq5:
    MOVEABS(75.5,0)
    MOVE(4.5,0)
    MOVE(0,30)
    MOVECIRC(-20,20,-20,0,0)
    MOVE(-22.5,0)
'$EndSeq(5)

'$StartSeq(6)
cadseq6:
    MOVEABS(33.5,50)
    MOVE(-33.5,0)
    MOVE(0,-19.5)
'$EndSeq(6)
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

