' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$EndLayer1:HOLES

'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
    MOVE(80,0)
    MOVE(0,30)
    MOVECIRC(-20,20,-20,0,0)
    MOVE(-60,0)
    MOVE(0,-50)
'$EndSeq(1)

'$StartSeq(4)
appseq4:
    MOVEABSSP(offset_x+-81.6,offset_y+74.0032)
    MOVECIRCSP(0,0,4,0,0)
'$EndSeq(4)

'$StartSeq(5)
appseq5:
    MOVEABS(-81.8558,83.8266)
    MOVECIRCSP(0,0,5,0,0)
'$EndSeq(5)
'$EndLayer0:OUTLINE

'$Layer1:HOLES
