! Writes a sequential unformatted file from a list of records, one a line:
! "R" and the eight hexadecimal digits of a single-precision value's bits,
! or "T" and the text of a record (columns 3 onward, 50 characters).
! Usage: write_records <list file> <output file>
program write_records
  implicit none
  character(len=512) :: list_name, out_name
  character(len=200) :: line
  character(len=50) :: text
  integer :: bits, status
  real :: value

  call get_command_argument(1, list_name)
  call get_command_argument(2, out_name)
  open(10, file=trim(list_name), status='old', action='read')
  open(11, file=trim(out_name), status='replace', form='unformatted', access='sequential')
  do
    read(10, '(A)', iostat=status) line
    if (status /= 0) exit
    select case (line(1:1))
    case ('R')
      read(line(3:10), '(Z8)') bits
      value = transfer(bits, value)
      write(11) value
    case ('T')
      text = line(3:52)
      write(11) text
    end select
  end do
  close(11)
  close(10)
end program write_records
