' 切割程序：支架外形与两个孔
' Veltrane example in Chinese: the bracket, commented
'$Layer0:外形
'$StartSeq(1)
cadseq1:
    MOVEABS(0,0)
    MOVE(80,0)  ' 底边
    MOVE(0,30)
    MOVECIRC(-20,20,-20,0,0)  ' 圆角
    MOVE(-60,0)  ' 顶边
    MOVE(0,-50)
'$EndSeq(1)
'$EndLayer0:外形

'$Layer1:孔
'$StartSeq(2)
cadseq2:
    MOVEABS(15,25)
    MOVECIRC(0,0,5,0,1)  ' 大孔
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABS(55,10)
    MOVECIRC(0,0,4,0,1)  ' 小孔
'$EndSeq(3)
'$EndLayer1:孔
