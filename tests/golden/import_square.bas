'$Layer2:WALLS
'$StartSeq(1)
cadseq1:
    MOVEABS(10,10)
    MOVE(-10,0)
    MOVE(0,-10)
    MOVE(10,0)
    MOVE(0,10)
'$EndSeq(1)

'$StartSeq(2)
cadseq2:
    MOVEABS(28,5)
    MOVECIRC(0,0,2,0,1)
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABS(55,0)
    MOVECIRC(-10,0,-5,0,0)
    MOVE(10,0)
'$EndSeq(3)
'$EndLayer2:WALLS

