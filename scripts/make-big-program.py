#!/usr/bin/env python3
import sys
# Usage: make-big-program.py LINES OUT.bas
# A program of many small closed sequences (squares with a rounded corner), 10 lines each.
n_lines = int(sys.argv[1]); out = sys.argv[2]
with open(out, 'w', newline='') as f:
    w = f.write
    w("'$Layer1:PARTS\r\n")
    lines = 2; k = 0
    while lines + 10 <= n_lines:
        k += 1
        x = (k % 1000) * 30; y = (k // 1000) * 30
        w(f"'$StartSeq({k})\r\ncadseq{k}:\r\n    MOVEABS({x},{y})\r\n    MOVE(10,0)\r\n    MOVECIRC(0,10,0,5,0)\r\n    MOVE(-10,0)\r\n    MOVE(0,-9.5)\r\n    MOVE(0,-0.5)\r\n'$EndSeq({k})\r\n\r\n")
        lines += 10
    w("'$EndLayer1:PARTS\r\n")
