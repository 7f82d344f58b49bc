'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
    MOVE(120,0)
    MOVE(0,50)
    MOVECIRC(-10,10,-10,0,0)
    MOVE(-24.2188,6.75)
    MOVE(-27.0312,2.25)
    MOVE(-28.9062,-2.25)
    MOVE(-29.8438,-6.75)
    MOVE(0,-60)
'$EndSeq(1)

'$StartSeq(2)
cadseq2:
    MOVEABS(30,20)
    MOVE(30,0)
    MOVECIRC(0,10,0,5,0)
    MOVE(-30,0)
    MOVECIRC(0,-10,0,-5,0)
'$EndSeq(2)
'$EndLayer0:OUTLINE

'$Layer1:HOLES
'$StartSeq(3)
cadseq3:
    MOVEABS(11,15)
    MOVECIRC(0,0,4,0,1)
'$EndSeq(3)

'$StartSeq(4)
cadseq4:
    MOVEABS(38.5,45)
    MOVECIRC(0,0,1.5,0,1)
'$EndSeq(4)

'$StartSeq(5)
cadseq5:
    MOVEABS(48.5,45)
    MOVECIRC(0,0,1.5,0,1)
'$EndSeq(5)

'$StartSeq(6)
cadseq6:
    MOVEABS(48.5,52)
    MOVECIRC(0,0,1.5,0,1)
'$EndSeq(6)

'$StartSeq(7)
cadseq7:
    MOVEABS(38.5,52)
    MOVECIRC(0,0,1.5,0,1)
'$EndSeq(7)

'$StartSeq(8)
cadseq8:
    MOVEABS(83.5279,37.5279)
    MOVECIRC(0,4.9442,1.236,2.4721,1)
    MOVECIRC(12.9442,0,6.4721,-12.9442,1)
    MOVECIRC(0,-4.9442,-1.236,-2.4721,1)
    MOVECIRC(-12.9442,0,-6.4721,12.9442,1)
'$EndSeq(8)

'$StartSeq(9)
cadseq9:
    MOVEABS(101,15)
    MOVECIRC(0,0,4,0,1)
'$EndSeq(9)

'$StartSeq(10)
cadseq10:
    MOVEABS(60,10)
'$EndSeq(10)
'$EndLayer1:HOLES

