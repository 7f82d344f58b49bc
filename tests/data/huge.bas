    MOVEABS(0,0)
    MOVE(2e308,0)
