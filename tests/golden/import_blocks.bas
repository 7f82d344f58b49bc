'$Layer2:PARTS
'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
    MOVE(10,0)
    MOVECIRC(0,10,0,5,0)
    MOVE(-10,0)
    MOVE(0,-10)
'$EndSeq(1)

'$StartSeq(2)
cadseq2:
    MOVEABS(40,0)
    MOVE(0,10)
    MOVECIRC(-10,0,-5,0,0)
    MOVE(0,-10)
    MOVE(10,0)
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABS(60,0)
    MOVE(-10,0)
    MOVECIRC(0,10,0,5,1)
    MOVE(10,0)
    MOVE(0,-10)
'$EndSeq(3)

'$StartSeq(4)
cadseq4:
    MOVEABS(80,0)
    MOVE(20,0)
    MOVECIRC(0,20,0,10,0)
    MOVE(-20,0)
    MOVE(0,-20)
'$EndSeq(4)

'$StartSeq(5)
cadseq5:
    MOVEABS(100,0)
    MOVE(10,0)
    MOVECIRC(0,10,0,5,0)
    MOVE(-10,0)
    MOVE(0,-10)
'$EndSeq(5)

'$StartSeq(6)
cadseq6:
    MOVEABS(100,20)
    MOVE(10,0)
    MOVECIRC(0,10,0,5,0)
    MOVE(-10,0)
    MOVE(0,-10)
'$EndSeq(6)
'$EndLayer2:PARTS

