' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABS(16.8949,-19.0526)
    MOVE(69.282,40)
    MOVE(-15,25.9808)
    MOVECIRC(-27.3205,7.3205,-17.3205,-10,0)
    MOVE(-51.9615,-30)
    MOVE(25,-43.3013)
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

