' typed by hand: abbreviations, mixed case, odd spacing
base(0,1)
Speed=100 : accel = 1000
'$StartSeq(1)
Cadseq1:
ma(10,10)
mo(20,0)
Mc(0,20,0,10,0)
  Move(-20, 0)
mo(0,-20)
'$EndSeq(1)

'$StartSeq(2)
cadseq2:
MoveAbs(offset_x+40,offset_y+10)
movecirc(10,0,5,0,1)
MHELICAL(1,2,3,4,5,6)
GOTO Cadseq1
'$EndSeq(2)
print "Done", dpos axis(0)
