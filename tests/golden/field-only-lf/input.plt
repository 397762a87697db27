 TITLE = "A BEM Model for a Potential Problem" 
 ZONES" 
 VARIABLES = "X", "Y", "Z"
 ZONE T="Model", N=           0 , E=           0 
 DATAPACKING=POINT, ZONETYPE=FETRIANGLE
 
 ZONE T="Field Points", N=           9 , E=           4 
 DATAPACKING=POINT, ZONETYPE=FEQUADRILATERAL
  0.0000000E+00  0.0000000E+00  0.0000000E+00
  0.1000000E+01  0.0000000E+00  0.0000000E+00
  0.2000000E+01  0.0000000E+00  0.0000000E+00
  0.0000000E+00  0.1000000E+01  0.0000000E+00
  0.1000000E+01  0.1000000E+01  0.0000000E+00
  0.2000000E+01  0.1000000E+01  0.0000000E+00
  0.0000000E+00  0.2000000E+01  0.0000000E+00
  0.1000000E+01  0.2000000E+01  0.0000000E+00
  0.2000000E+01  0.2000000E+01  0.0000000E+00
 
              1              2              5              4
              2              3              6              5
              4              5              8              7
              5              6              9              8
