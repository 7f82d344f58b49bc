' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABS(36.3974,50)
    MOVE(-36.3974,0)
    MOVE(0,-50)
    MOVE(36.3106,0)
'$EndSeq(1)

'$StartSeq(4)
cadseq4:
    MOVEABS(39.3106,0)
    MOVE(40.6894,0)
    MOVE(0,30)
    MOVECIRC(-20,20,-20,0,0)
    MOVE(-20.6026,0)
'$EndSeq(4)
'$EndLayer0:OUTLINE

'$Layer1:HOLES
'$StartSeq(2)
cadseq2:
    MOVEABS(18.5224,20.2233)
    MOVECIRC(0,9.5534,1.4776,4.7767,1)
'$EndSeq(2)

'$StartSeq(5)
cadseq5:
    MOVEABS(21.4776,29.7767)
    MOVECIRC(0,-9.5534,-1.4776,-4.7767,1)
'$EndSeq(5)

'$StartSeq(3)
cadseq3:
    MOVEABS(57.5349,6.278)
    MOVECIRC(0,7.444,1.4651,3.722,1)
'$EndSeq(3)

'$StartSeq(6)
cadseq6:
    MOVEABS(60.4651,13.722)
    MOVECIRC(0,-7.444,-1.4651,-3.722,1)
'$EndSeq(6)
'$EndLayer1:HOLES

