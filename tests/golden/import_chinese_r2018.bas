'$Layer0:切割
'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
    MOVE(40,0)
    MOVE(0,30)
    MOVE(-40,0)
    MOVE(0,-30)
'$EndSeq(1)
'$EndLayer0:切割

'$Layer1:孔Ǽ
'$StartSeq(2)
cadseq2:
    MOVEABS(16,15)
    MOVECIRC(0,0,4,0,1)
'$EndSeq(2)
'$EndLayer1:孔Ǽ

