' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABS(0,22.4027)
    MOVE(0,-22.4027)
    MOVE(52.4027,0)
'$EndSeq(1)

'$StartSeq(4)
cadseq4:
    MOVEABS(61.4027,0)
    MOVE(18.5973,0)
    MOVE(0,30)
    MOVECIRC(-14.8507,19.3258,-20,0,0)
'$EndSeq(4)

'$StartSeq(5)
cadseq5:
    MOVEABS(56.208,50)
    MOVE(-56.208,0)
    MOVE(0,-18.5973)
'$EndSeq(5)
'$EndLayer0:OUTLINE

'$Layer1:HOLES
'$StartSeq(2)
cadseq2:
    MOVEABS(15.0541,24.2667)
    MOVECIRC(0,1.4666,4.9459,0.7333,1)
'$EndSeq(2)

'$StartSeq(6)
cadseq6:
    MOVEABS(21.8379,29.65)
    MOVECIRC(1.2701,-0.7334,-1.8379,-4.65,1)
'$EndSeq(6)

'$StartSeq(7)
cadseq7:
    MOVEABS(23.108,21.0834)
    MOVECIRC(-1.2701,-0.7334,-3.108,3.9166,1)
'$EndSeq(7)

'$StartSeq(3)
cadseq3:
    MOVEABS(55,10)
    MOVECIRC(0,0,4,0,1)
'$EndSeq(3)
'$EndLayer1:HOLES

