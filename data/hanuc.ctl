# VESTAN9 controller definition: a plain Fanuc-like 3-axis controller.
# Lines that begin with no key are remarks. The MEMORY lines at the end hold
# the tool and work offsets; the offset dialogs rewrite them.
NAME(MAX20)=HANUC 3-AXIS
NAME COLOR=255,0,0,255,255,0

# Units and numbers
UNIT=1/1000
UNIT(DEG)=1/1000
UNIT(SCALE)=1/1000
DECIMAL POINT=CALC

# Modal rules
INITIAL PLANE=G17
RETURN LEVEL=G98
ONLY G40=OFFSET
FEEDRATE=DIRECT
TOOL OFFSET MEMORY=C
G92MODE=NORMAL
G49MODE=NORMAL
G00MODE=LINE
LENGTH OFFSET TYPE=FANUC-A
CONCAVE-ARC FEED=KEEP
R-TOLERANCE=0.01
WARNING LEVEL=1
EOR=%

# Canned cycles
G73_D=0.1
G83_D=0.1

# Checks and stops
CHECK F0=YES
CHECK RADIUS OFFSET=STOP+LIST
STOP OPTION=NORMAL
STOP CHARACTER=M100,M101
OPTIONAL BLOCK SKIP=1

# Cutting switched off and on by the program
CUT OFF CODE=M51
CUT ON CODE=M50

# Tool offsets (type C: geometry, wear)
MEMORY D01= 5.000000,0.000000
MEMORY D02= 3.000000,0.000000
MEMORY D03= 6.000000,-0.010000
MEMORY H01= 100.000000,0.000000
MEMORY H02= 95.500000,0.000000
MEMORY H03= 110.250000,0.020000
# The drill (tool 6) and the chamfer (tool 7) of atc.ttl that example.nc
# calls with H6 and H7: their lengths out of the holder (LENGTH 95, 50), the
# values the LENGTH-TOP rule books for them.
MEMORY H06= 95.000000,0.000000
MEMORY H07= 50.000000,0.000000

# Work offsets: G54 is the front left corner of the top of a 100 x 100 x 30
# stock on the vice (machine X -50..50, Y -50..50, Z 80..110); G55 150 to the right
MEMORY EXOFS= (0,0,0,0,0)
MEMORY G54= (-50,-50,110,0,0)
MEMORY G55= (100,-50,110,0,0)
