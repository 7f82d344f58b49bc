' Veltrane example: a mounting bracket with two holes
'$Layer0:OUTLINE
'$StartSeq(1)
cadseq1:
    MOVEABSSP(1,1)
    MOVE(78,0)
    MOVE(0,29)
    MOVECIRCSP(-19,19,-19,0,0)
    MOVE(-59,0)
    MOVE(0,-48)
'$EndSeq(1)
'$EndLayer0:OUTLINE

'$Layer1:HOLES
'$StartSeq(2)
cadseq2:
    MOVEABSSP(14,25)
    MOVECIRCSP(0,0,6,0,1)
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABSSP(54,10)
    MOVECIRCSP(0,0,5,0,1)
'$EndSeq(3)
'$EndLayer1:HOLES

