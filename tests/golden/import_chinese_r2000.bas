'$Layer0:ÇÐ¸î
'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
    MOVE(40,0)
    MOVE(0,30)
    MOVE(-40,0)
    MOVE(0,-30)
'$EndSeq(1)
'$EndLayer0:ÇÐ¸î

'$Layer1:¿×\U+01fc
'$StartSeq(2)
cadseq2:
    MOVEABS(16,15)
    MOVECIRC(0,0,4,0,1)
'$EndSeq(2)
'$EndLayer1:¿×\U+01fc

