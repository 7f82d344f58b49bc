'$StartSeq(1)
cadseq1:
  ma(offset_x+1,offset_y+2) ' c
    MOVE(1,2,3)
 MHELICAL(1,2,3,4,5,6)
    MOVECIRCSP(1,0,0.5,0,-3)
mo(1e3,-2.5e-2)
'$EndSeq(1)
