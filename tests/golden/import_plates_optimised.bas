'$Layer2:CUT
'$StartSeq(1)
cadseq1:
    MOVEABS(30,30)
    MOVE(30,0)
'$EndSeq(1)

'$StartSeq(2)
cadseq2:
    MOVEABS(53.1623,50.5132)
    MOVECIRC(0,0,-3.1623,9.4868,1)
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABS(95,60)
    MOVECIRC(0,0,5,0,1)
'$EndSeq(3)

'$StartSeq(4)
cadseq4:
    MOVEABS(85,60)
    MOVECIRC(0,0,15,0,1)
'$EndSeq(4)

'$StartSeq(5)
cadseq5:
    MOVEABS(150,60)
    MOVECIRC(0,0,20,0,1)
'$EndSeq(5)

'$StartSeq(6)
cadseq6:
    MOVEABS(170,60)
    MOVECIRC(0,0,10,0,1)
'$EndSeq(6)

'$StartSeq(7)
cadseq7:
    MOVEABS(175,-40)
    MOVECIRC(0,0,5,0,1)
'$EndSeq(7)

'$StartSeq(8)
cadseq8:
    MOVEABS(145,-40)
    MOVECIRC(0,0,5,0,1)
'$EndSeq(8)

'$StartSeq(9)
cadseq9:
    MOVEABS(115,-40)
    MOVECIRC(0,0,5,0,1)
'$EndSeq(9)

'$StartSeq(10)
cadseq10:
    MOVEABS(85,-40)
    MOVECIRC(0,0,5,0,1)
'$EndSeq(10)

'$StartSeq(11)
cadseq11:
    MOVEABS(55,-40)
    MOVECIRC(0,0,5,0,1)
'$EndSeq(11)

'$StartSeq(12)
cadseq12:
    MOVEABS(35,-40)
    MOVECIRC(0,0,-5,0,1)
'$EndSeq(12)

'$StartSeq(13)
cadseq13:
    MOVEABS(20,20)
    MOVE(100,0)
    MOVECIRC(20,20,-0.0005,20.0005,0)
    MOVE(0,60)
    MOVE(-120,0)
    MOVE(0,-80)
'$EndSeq(13)

'$StartSeq(14)
cadseq14:
    MOVEABS(20,0)
    MOVE(180,0)
    MOVE(0,120)
    MOVE(-200,0)
    MOVE(0,-120)
    MOVE(20,0)
'$EndSeq(14)
'$EndLayer2:CUT

