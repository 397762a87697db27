! Second reference for the record-engine tests: the compiler's own
! formatted input and output with the same edit descriptors.
!
!   fortran_ref write IN OUT  each line of IN holds the bits of a double as
!                             16 hex digits; OUT gets it as E15.7, D24.9
!                             and D24.15 on one line.
!   fortran_ref read IN OUT   each line of IN is a node record, read with
!                             (3I9,3E21.13); OUT gets the three integers and
!                             the bits of the three doubles.
program fortran_ref
  implicit none
  character(len=8) :: mode
  character(len=4096) :: in_path, out_path
  integer(8) :: b(3)
  real(8) :: x(3)
  integer :: n(3), ios

  call get_command_argument(1, mode)
  call get_command_argument(2, in_path)
  call get_command_argument(3, out_path)
  open (10, file=trim(in_path), status='old', action='read')
  open (11, file=trim(out_path), status='replace', action='write')
  if (mode == 'write') then
    do
      read (10, '(Z16)', iostat=ios) b(1)
      if (ios /= 0) exit
      x(1) = transfer(b(1), x(1))
      write (11, '(E15.7,D24.9,D24.15)') x(1), x(1), x(1)
    end do
  else
    do
      read (10, '(3I9,3E21.13)', iostat=ios) n, x
      if (ios /= 0) exit
      b = transfer(x, b)
      write (11, '(3I12,3(1X,Z16.16))') n, b
    end do
  end if
  close (11)
end program fortran_ref
