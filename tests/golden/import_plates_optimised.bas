'$Layer2:CUT
'$StartSeq(1)
cadseq1:
    MOVEABS(32.1611,-35.4912)
    MOVECIRC(0,0,-2.1611,-4.5088,1)
'$EndSeq(1)

'$StartSeq(2)
cadseq2:
    MOVEABS(56.3007,-36.6362)
    MOVECIRC(0,0,3.6993,-3.3638,1)
'$EndSeq(2)

'$StartSeq(3)
cadseq3:
    MOVEABS(85.553,-37.7143)
    MOVECIRC(0,0,4.447,-2.2857,1)
'$EndSeq(3)

'$StartSeq(4)
cadseq4:
    MOVEABS(115.5286,-37.7625)
    MOVECIRC(0,0,4.4714,-2.2375,1)
'$EndSeq(4)

'$StartSeq(5)
cadseq5:
    MOVEABS(154.0401,-37.0543)
    MOVECIRC(0,0,-4.0401,-2.9457,1)
'$EndSeq(5)

'$StartSeq(6)
cadseq6:
    MOVEABS(176.3477,-36.5853)
    MOVECIRC(0,0,3.6523,-3.4147,1)
'$EndSeq(6)

'$StartSeq(7)
cadseq7:
    MOVEABS(172.1722,53.777)
    MOVECIRC(0,0,7.8278,6.223,1)
'$EndSeq(7)

'$StartSeq(8)
cadseq8:
    MOVEABS(150,60)
    MOVECIRC(0,0,20,0,1)
'$EndSeq(8)

'$StartSeq(9)
cadseq9:
    MOVEABS(95,60)
    MOVECIRC(0,0,5,0,1)
'$EndSeq(9)

'$StartSeq(10)
cadseq10:
    MOVEABS(85,60)
    MOVECIRC(0,0,15,0,1)
'$EndSeq(10)

'$StartSeq(11)
cadseq11:
    MOVEABS(58.0429,54.0576)
    MOVECIRC(0,0,-8.0429,5.9424,1)
'$EndSeq(11)

'$StartSeq(12)
cadseq12:
    MOVEABS(60,30)
    MOVE(-30,0)
'$EndSeq(12)

'$StartSeq(13)
cadseq13:
    MOVEABS(20,28.8889)
    MOVE(0,-8.8889)
    MOVE(100,0)
    MOVECIRC(20,20,-0.0005,20.0005,0)
    MOVE(0,60)
    MOVE(-120,0)
    MOVE(0,-71.1111)
'$EndSeq(13)

'$StartSeq(14)
cadseq14:
    MOVEABS(0,28.8889)
    MOVE(0,-28.8889)
    MOVE(200,0)
    MOVE(0,120)
    MOVE(-200,0)
    MOVE(0,-91.1111)
'$EndSeq(14)
'$EndLayer2:CUT

