! Reads a record file of the layout that write_records writes and prints
! every value as the bits of its single-precision form, the text in brackets.
program read_records
  implicit none
  character(len=256) :: file_name
  character(len=50) :: text
  real :: a, b, c
  call get_command_argument(1, file_name)
  open(10, file=trim(file_name), access='sequential', form='unformatted', status='old')
  read(10) a
  print '(Z8.8)', transfer(a, 0)
  read(10) text
  print '(3A)', '[', text, ']'
  read(10) a, b, c
  print '(3(Z8.8,1X))', transfer(a, 0), transfer(b, 0), transfer(c, 0)
  read(10) a
  print '(Z8.8)', transfer(a, 0)
  read(10)
  read(10) a
  print '(Z8.8)', transfer(a, 0)
  close(10)
end program read_records
